-- The lab database, shared by every rig of the lab. The program brings a
-- database up to the newest version here when it is empty or older: each
-- "-- @version N" step runs once, in order, in one transaction, and
-- lab_schema.version records the last step applied. Append new steps; never
-- change one that has been released.
--
-- Identity texts are UTF-8 text (the rigs keep GBK bytes locally); times are
-- the rig's local wall-clock times, as the rig saved them.

-- @version 1
CREATE TABLE lab_schema(version integer NOT NULL);
INSERT INTO lab_schema(version) VALUES (0);

-- One row per saved test. test_id is made by the rig when it saves the test,
-- so a repeated upload finds the row already there.
CREATE TABLE lab_tests(
  test_id uuid PRIMARY KEY,
  rig_name text NOT NULL,
  local_id bigint NOT NULL,        -- AutoID in the rig's SaveData.db
  station integer NOT NULL,        -- iWorkIndex
  open_type text NOT NULL,         -- 开关型号
  out_index text NOT NULL,         -- 出厂编号
  work_area text NOT NULL,         -- 工位
  work_name text NOT NULL,         -- 操作员
  start_time timestamp,
  end_time timestamp,
  mode integer NOT NULL,           -- iDealType
  param1 integer NOT NULL,
  param2 integer NOT NULL,
  param3 integer NOT NULL,
  param4 integer NOT NULL,
  param5 integer NOT NULL,
  count_done integer NOT NULL,     -- iDealTimes
  ignore_refusals boolean NOT NULL,-- iCancelDeal
  detail_name text NOT NULL,       -- DetailSaveDBName on the rig
  action_count integer NOT NULL,
  saved_at timestamp NOT NULL,
  uploaded_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX lab_tests_start ON lab_tests(start_time);
CREATE INDEX lab_tests_rig ON lab_tests(rig_name, start_time);

-- One row per action, in the order the rig saved them (ControlState).
CREATE TABLE lab_actions(
  test_id uuid NOT NULL REFERENCES lab_tests(test_id) ON DELETE CASCADE,
  seq integer NOT NULL,            -- 1, 2, ... as ControlState.AutoID
  deal_times integer NOT NULL,     -- DealTimes
  cz_deal_times integer NOT NULL,  -- CZDealTimes
  state1 smallint NOT NULL,        -- 1 closed, 0 open (A1, B1, C1)
  state2 smallint NOT NULL,
  state3 smallint NOT NULL,
  mark1 text NOT NULL,             -- "拒合", "拒分" or empty
  mark2 text NOT NULL,
  mark3 text NOT NULL,
  PRIMARY KEY (test_id, seq)
);

-- @version 2
-- Refusals per break (A1, B1, C1) as the rig's reports count them: by the
-- position rule whichever refusal option the test ran with; found_by says
-- whether the refusal check marked them ('marked'), only the stored
-- positions show them ('positions', as under 忽略拒动作), 'both', or ''.
ALTER TABLE lab_tests
  ADD COLUMN refused_closings integer[] NOT NULL DEFAULT '{0,0,0}',
  ADD COLUMN refused_openings integer[] NOT NULL DEFAULT '{0,0,0}',
  ADD COLUMN refusals_found_by text NOT NULL DEFAULT '';

-- @version 3
-- What each station of each rig is doing now, as its live view shows it.
-- A rig rewrites its own rows at most every 10 s; updated_at says when it
-- last did, so a rig that stopped reporting can be seen.
CREATE TABLE lab_live(
  rig_name text NOT NULL,
  station integer NOT NULL,        -- 1, 2
  updated_at timestamptz NOT NULL,
  link text NOT NULL,              -- 'connected', 'connecting', 'lost', 'open' (port only), 'closed'
  run_state text NOT NULL,         -- 'idle', 'waiting', 'running', 'paused', held unsaved: 'finished', 'cancelled', 'stopped', 'received'
  mode integer,                    -- iDealType of the run, null when idle
  count_done integer NOT NULL DEFAULT 0,
  count_set integer NOT NULL DEFAULT 0,
  rate_per_min real,               -- operations per minute, null when unknown
  seconds_left integer,            -- null when unknown
  refusals integer NOT NULL DEFAULT 0,
  silent_seconds integer NOT NULL DEFAULT 0,  -- controller silent this long (0: talking)
  programme text NOT NULL DEFAULT '',
  block text NOT NULL DEFAULT '',
  pending_uploads integer NOT NULL DEFAULT 0, -- the rig's outbox: tests waiting
  aside_uploads integer NOT NULL DEFAULT 0,   -- and tests the server refused
  PRIMARY KEY (rig_name, station)
);

-- What happened on a rig, as it happened; sent through the rig's outbox so
-- none is lost while the server is away. event_id is made by the rig.
CREATE TABLE lab_events(
  event_id uuid PRIMARY KEY,
  rig_name text NOT NULL,
  station integer NOT NULL,
  happened_at timestamptz NOT NULL,
  kind text NOT NULL,              -- 'refusal', 'silent', 'line_lost', 'finished', 'saved', 'save_failed'
  test_id uuid,                    -- the saved test, when there is one
  detail text NOT NULL DEFAULT '', -- words for people ("B1 拒合 at 6527", the save's problem, ...)
  uploaded_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX lab_events_rig ON lab_events(rig_name, happened_at);
CREATE INDEX lab_events_time ON lab_events(happened_at);
