-- A lab of years: 50 rigs of 2 stations, 1,000,000 tests with Chinese
-- identity texts from 2023 to 2026, 100,000,000 actions (700 tests of
-- 128,000 actions, the rest about ten each), 3,000,000 rig events and each
-- station's live row. Run by bench/lab-scale-data.sh on a database at
-- schema version 3; everything is made in the server.
\set ON_ERROR_STOP on
\timing on
\if :{?tests}
\else
  \set tests 1000000
\endif

CREATE TEMP TABLE names(kind text, i integer, t text);
INSERT INTO names SELECT 'model', n, m FROM unnest(ARRAY[
  'ZW32-12/630真空断路器', 'VS1-12/1250户内高压真空断路器', 'ZN63A-12户内真空断路器', 'ZW20-12户外真空断路器',
  'LW36-126六氟化硫断路器', 'LW30-252 SF6断路器', 'GW4-126隔离开关', 'GN30-12户内隔离开关',
  'JN15-12接地开关', 'FZN25-12负荷开关', 'VEP-12固封极柱断路器', 'ZN85-40.5真空断路器']) WITH ORDINALITY AS x(m, n);
INSERT INTO names SELECT 'surname', n, s FROM unnest(ARRAY[
  '王','李','张','刘','陈','杨','黄','赵','吴','周','徐','孙','马','朱','胡','郭','何','高','林','罗']) WITH ORDINALITY AS x(s, n);
INSERT INTO names SELECT 'given', n, s FROM unnest(ARRAY[
  '伟','芳','娜','秀英','敏','静','丽','强','磊','军','洋','勇','艳','杰','建国']) WITH ORDINALITY AS x(s, n);
INSERT INTO names SELECT 'area', n, s FROM unnest(ARRAY[
  '一车间','二车间','三车间','总装车间','试验站']) WITH ORDINALITY AS x(s, n);

-- Tests: rig r (1..50), station 1..2; test i started 126 s after test i-1.
-- Both tables are emptied in the transaction that fills them, so that the
-- server writes them without WAL. The actions' keys are built afterwards,
-- as a restore would.
ALTER TABLE lab_actions DROP CONSTRAINT lab_actions_test_id_fkey;
ALTER TABLE lab_actions DROP CONSTRAINT lab_actions_pkey;
BEGIN;
TRUNCATE lab_tests, lab_actions;
INSERT INTO lab_tests(test_id, rig_name, local_id, station, open_type, out_index, work_area, work_name,
  start_time, end_time, mode, param1, param2, param3, param4, param5, count_done, ignore_refusals,
  detail_name, action_count, saved_at, refused_closings, refused_openings, refusals_found_by)
SELECT gen_random_uuid(), r || '号试验台', i / 50 + 1, 1 + (i / 50) % 2,
  (SELECT t FROM names WHERE kind = 'model' AND names.i = 1 + (g.i * 7 + g.i / 1000) % 12),
  'ZB' || to_char(s, 'YYMM') || '-' || lpad((i % 100000)::text, 5, '0'),
  (SELECT t FROM names WHERE kind = 'area' AND names.i = 1 + r % 5) || (1 + (i / 50) % 2) || '号工位',
  (SELECT t FROM names WHERE kind = 'surname' AND names.i = 1 + (r * 3 + i / 20000) % 20) ||
  (SELECT t FROM names WHERE kind = 'given' AND names.i = 1 + (r * 7 + i / 7000) % 15),
  s, s + interval '2 hours', CASE WHEN i % 1429 = 0 THEN 20 ELSE 17 END, 300, 300,
  CASE WHEN i % 1429 = 0 THEN 0 ELSE 5 END, 0, CASE WHEN i % 1429 = 0 THEN 32000 ELSE 0 END,
  CASE WHEN i % 1429 = 0 THEN 32000 ELSE 5 END, i % 11 = 0,
  '/home/rig/SaveData/' || to_char(s, 'YYYY-MM-DD') || '/' || i || '.db',
  CASE WHEN i % 1429 = 0 THEN 128000 ELSE 9 + i % 3 END, s + interval '2 hours 1 minute',
  CASE WHEN i % 37 = 0 THEN ARRAY[1, 0, i % 2] ELSE '{0,0,0}' END,
  CASE WHEN i % 53 = 0 THEN ARRAY[0, 1, 0] ELSE '{0,0,0}' END,
  CASE WHEN i % 37 = 0 OR i % 53 = 0 THEN 'marked' ELSE '' END
FROM generate_series(0, :tests - 1) AS g(i),
  LATERAL (SELECT 1 + g.i % 50 AS r, timestamp '2023-01-01 08:00' + g.i * interval '126 seconds' AS s) AS x;

-- Actions in upload order, one test's actions together.
INSERT INTO lab_actions(test_id, seq, deal_times, cz_deal_times, state1, state2, state3, mark1, mark2, mark3)
SELECT t.test_id, s, (s + 1) / 2, (s + 1) / 2, s % 2, s % 2, s % 2,
  CASE WHEN s % 997 = 0 THEN '拒合' ELSE '' END, CASE WHEN s % 1999 = 0 THEN '拒分' ELSE '' END, ''
FROM lab_tests t, generate_series(1, t.action_count) AS s;
COMMIT;
ALTER TABLE lab_actions ADD PRIMARY KEY (test_id, seq);
ALTER TABLE lab_actions ADD FOREIGN KEY (test_id) REFERENCES lab_tests(test_id) ON DELETE CASCADE;

-- Events: about 30,000 per station over the years, each kind in turn.
INSERT INTO lab_events(event_id, rig_name, station, happened_at, kind, test_id, detail)
SELECT gen_random_uuid(), (1 + e % 50) || '号试验台', 1 + (e / 50) % 2,
  timestamptz '2023-01-01 08:00' + e * interval '42 seconds',
  (ARRAY['refusal','silent','line_lost','finished','saved','save_failed'])[1 + (e / 100) % 6], NULL,
  (ARRAY['B1 拒合 at 6527','控制器 12 秒无应答','串口断开','测试完成','已保存','保存失败：磁盘已满'])[1 + (e / 100) % 6]
FROM generate_series(0, 2999999) AS e;

INSERT INTO lab_live(rig_name, station, updated_at, link, run_state, mode, count_done, count_set, rate_per_min,
  seconds_left, refusals, silent_seconds, programme, block, pending_uploads, aside_uploads)
SELECT r || '号试验台', st, now() - (r * interval '3 seconds'), CASE WHEN r % 17 = 0 THEN 'lost' ELSE 'open' END,
  CASE WHEN r % 5 = 0 THEN 'idle' ELSE 'running' END, CASE WHEN r % 5 = 0 THEN NULL ELSE 17 END,
  r * 100, 10000, 12.5, 3600, r % 3, 0, '', '', r % 4, CASE WHEN r = 13 THEN 1 ELSE 0 END
FROM generate_series(1, 50) AS r, generate_series(1, 2) AS st;

VACUUM ANALYZE;
