-- The lab database, shared by every rig of the lab. lab-admin (and, in a
-- database not yet set up with it, the program) brings a database up to the
-- newest version here when it is empty or older: each "-- @version N" step
-- runs once, in order, in one transaction, and lab_schema.version records
-- the last step applied. Append new steps; never change one that has been
-- released. Who may do what is in LabRights.sql.
--
-- Identity texts are UTF-8 text (the rigs keep GBK bytes locally); times
-- were the rig's local wall-clock times until step 4 made them instants.

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

-- @version 4
-- Each rig's own login and the one rig name it may write under (lab-admin
-- add-rig); a name is tied to one login.
CREATE TABLE lab_rigs(
  login name PRIMARY KEY,
  rig_name text UNIQUE NOT NULL
);

-- A rig's test number is its test's key in the lab as well as test_id, so a
-- test sent twice under two ids is stored once. Rows that already repeat a
-- number (two rigs under one name, a SaveData.db started anew) are kept,
-- marked, outside the key: all but the first uploaded of each.
ALTER TABLE lab_tests ADD COLUMN repeats_local_id boolean NOT NULL DEFAULT false;
UPDATE lab_tests t SET repeats_local_id = true
  WHERE EXISTS (SELECT 1 FROM lab_tests e
                WHERE e.rig_name = t.rig_name AND e.local_id = t.local_id
                  AND (e.uploaded_at, e.test_id) < (t.uploaded_at, t.test_id));
CREATE UNIQUE INDEX lab_tests_rig_local ON lab_tests(rig_name, local_id) WHERE NOT repeats_local_id;

-- Times become instants; rigs send them with their UTC offset. Those stored
-- so far are read as wall-clock times of the session applying this step,
-- which runs in the time zone of the machine applying it.
ALTER TABLE lab_tests
  ALTER COLUMN start_time TYPE timestamptz,
  ALTER COLUMN end_time TYPE timestamptz,
  ALTER COLUMN saved_at TYPE timestamptz;

-- @version 5
-- The lab search over years of tests. Its text filters match anywhere,
-- ignoring case (ILIKE '%…%'): trigram indexes serve filters of three
-- characters or more; a filter of one or two characters has no trigram, so
-- each test's texts are also indexed as their single characters and
-- character pairs, tagged by column ('t:' model, 'i:' serial, 'a:' work
-- area, 'n:' operator, 'r:' rig), and such a filter asks for those of its
-- own (lab_text_grams) before ILIKE decides.
CREATE EXTENSION IF NOT EXISTS pg_trgm;
CREATE INDEX lab_tests_open_type_trgm ON lab_tests USING gin (open_type gin_trgm_ops);
CREATE INDEX lab_tests_out_index_trgm ON lab_tests USING gin (out_index gin_trgm_ops);
CREATE INDEX lab_tests_work_area_trgm ON lab_tests USING gin (work_area gin_trgm_ops);
CREATE INDEX lab_tests_work_name_trgm ON lab_tests USING gin (work_name gin_trgm_ops);

-- The characters and character pairs of `t` in lower case, each after `tag`:
-- what a short filter asks for.
CREATE FUNCTION lab_text_grams(tag text, t text) RETURNS text[]
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
  SELECT coalesce(array_agg(tag || substr(lower(t), i, n)), '{}')
  FROM generate_series(1, char_length(t)) AS i, generate_series(1, 2) AS n
  WHERE i + n - 1 <= char_length(t)
$$;

-- The same of a test's five texts together, in one query: it runs for each
-- test stored and for every test when the index is built (about 0.15 ms a
-- test; calling lab_text_grams five times took ten times as long). Its cost
-- tells the planner to use it through the index, never row by row.
CREATE FUNCTION lab_search_grams(rig_name text, open_type text, out_index text, work_area text, work_name text)
RETURNS text[] LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE COST 5000 AS $$
  SELECT array_agg(tag || substr(t, i, n))
  FROM (VALUES ('r:', lower(rig_name)), ('t:', lower(open_type)), ('i:', lower(out_index)),
               ('a:', lower(work_area)), ('n:', lower(work_name))) AS v(tag, t),
       generate_series(1, char_length(t)) AS i, generate_series(1, 2) AS n
  WHERE i + n - 1 <= char_length(t)
$$;

CREATE INDEX lab_tests_grams ON lab_tests
  USING gin (lab_search_grams(rig_name, open_type, out_index, work_area, work_name));

-- Views for the lab's dashboards (dashboards/grafana), read by the
-- read-only role lab_viewer.

-- Each station of each rig now: its live row, how long ago the rig wrote
-- it, and the station's last event.
CREATE INDEX lab_events_station ON lab_events(rig_name, station, happened_at);
CREATE VIEW lab_rigs_now AS
SELECT l.rig_name, l.station, l.link, l.run_state, l.mode, l.count_done, l.count_set, l.rate_per_min,
  l.seconds_left, l.refusals, l.silent_seconds, l.programme, l.block, l.pending_uploads, l.aside_uploads,
  l.updated_at, extract(epoch FROM now() - l.updated_at)::integer AS seconds_since_update,
  e.kind AS last_event, e.happened_at AS last_event_at, e.detail AS last_event_detail
FROM lab_live l
LEFT JOIN LATERAL (
  SELECT kind, happened_at, detail FROM lab_events ev
  WHERE ev.rig_name = l.rig_name AND ev.station = l.station
  ORDER BY happened_at DESC LIMIT 1) e ON true;

-- Tests started per day and rig.
CREATE VIEW lab_tests_per_day AS
SELECT date_trunc('day', start_time) AS day, rig_name, count(*) AS tests, sum(action_count) AS actions,
  sum(count_done) AS operations
FROM lab_tests WHERE start_time IS NOT NULL
GROUP BY 1, 2;

-- Refusals per switch model and day (all three breaks added up).
CREATE VIEW lab_refusals_per_model AS
SELECT date_trunc('day', start_time) AS day, open_type, count(*) AS tests,
  count(*) FILTER (WHERE refused_closings <> '{0,0,0}' OR refused_openings <> '{0,0,0}') AS tests_with_refusals,
  sum(refused_closings[1] + refused_closings[2] + refused_closings[3]) AS refused_closings,
  sum(refused_openings[1] + refused_openings[2] + refused_openings[3]) AS refused_openings
FROM lab_tests WHERE start_time IS NOT NULL
GROUP BY 1, 2;

-- Each rig's outbox as it last said (both stations' rows carry the same).
CREATE VIEW lab_uploads_pending AS
SELECT rig_name, max(pending_uploads) AS pending_uploads, max(aside_uploads) AS aside_uploads,
  max(updated_at) AS updated_at, extract(epoch FROM now() - max(updated_at))::integer AS seconds_since_update
FROM lab_live
GROUP BY rig_name;

DO $$
BEGIN
  IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'lab_viewer') THEN
    GRANT SELECT ON lab_rigs_now, lab_tests_per_day, lab_refusals_per_model, lab_uploads_pending TO lab_viewer;
  END IF;
END $$;

-- The planner learns the new index expressions' statistics now rather than
-- at the next automatic analyse.
ANALYZE lab_tests;

-- @version 6
-- Endurance programmes (试验方案) as their rigs last stored them. A rig sends
-- a programme whole after each change; programme_id is made by the rig when
-- the programme is created, and version counts the rig's stores of it, so an
-- older snapshot arriving late never replaces a newer one. Its blocks and
-- inspections are replaced with it.
CREATE TABLE lab_programmes(
  programme_id uuid PRIMARY KEY,
  rig_name text NOT NULL,
  local_id bigint NOT NULL,        -- Id in the rig's Programmes.db
  station integer NOT NULL,
  open_type text NOT NULL,         -- 开关型号
  out_index text NOT NULL,         -- 出厂编号
  work_area text NOT NULL,         -- 工位
  work_name text NOT NULL,         -- 操作员
  manufacturer text NOT NULL,
  customer text NOT NULL,
  remarks text NOT NULL,
  standard text NOT NULL,          -- "IEC 62271-100 / GB/T 1984", "IEC 62271-102", "自定义"
  class_name text NOT NULL,        -- the class aimed at
  target integer NOT NULL,         -- its operations
  cumulative integer NOT NULL,     -- operations done in all blocks
  verdict text NOT NULL,           -- as the rig shows it
  fail_operation integer,          -- the first refused action, null when none
  fail_block integer,
  fail_break text,                 -- "B1拒合"
  created_at timestamptz,
  ended_at timestamptz,            -- null until the operator ended it
  updated_at timestamptz NOT NULL, -- when the rig stored this version
  version bigint NOT NULL,
  uploaded_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX lab_programmes_rig ON lab_programmes(rig_name, created_at);

CREATE TABLE lab_programme_blocks(
  programme_id uuid NOT NULL REFERENCES lab_programmes(programme_id) ON DELETE CASCADE,
  block_no integer NOT NULL,       -- 1, 2, ...
  mode integer NOT NULL,           -- the life mode
  count_set integer NOT NULL,      -- cycles the block runs
  cycles_done integer NOT NULL,
  cycle_mean_ms double precision,  -- null until a cycle was timed
  cycle_spread_ms double precision,
  cycle_slowest_ms double precision,
  voltage_note text NOT NULL,
  voltage_confirmed_by text NOT NULL,
  voltage_confirmed_at timestamptz,
  PRIMARY KEY (programme_id, block_no)
);

-- The inspection after a block. Its measurements are one jsonb array of
-- {name, unit, value, low, high, margin}: always read with their inspection,
-- named freely per switch type, and replaced with it.
CREATE TABLE lab_inspections(
  programme_id uuid NOT NULL REFERENCES lab_programmes(programme_id) ON DELETE CASCADE,
  block_no integer NOT NULL,       -- the block it follows
  checked text NOT NULL,
  work text NOT NULL,              -- 'nothing', 'lubrication', 'other'
  work_text text NOT NULL,
  by_whom text NOT NULL,
  done_at timestamptz,
  measurements jsonb NOT NULL DEFAULT '[]',
  PRIMARY KEY (programme_id, block_no)
);

-- A switch's history across the rigs: its factory number matched whole,
-- ignoring case and surrounding blanks.
CREATE INDEX lab_tests_out_index_whole ON lab_tests (lower(btrim(out_index)));
CREATE INDEX lab_programmes_out_index_whole ON lab_programmes (lower(btrim(out_index)));
