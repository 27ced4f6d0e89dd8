-- Who may do what in the lab database. lab-admin runs this after the schema
-- steps on every setup and upgrade, so it must be safe to run again; a table
-- a later step adds gets its lines here.
--
-- lab_rig: the group of the rigs' logins. Reads everything, inserts its own
-- tests, actions and events, writes only its own live rows and programmes
-- (replacing their blocks and inspections), changes and deletes nothing else. lab_viewer: reads everything. A rig's name is the
-- one lab_rigs ties to its login (lab_my_rig()).

-- Role names belong to the whole server: another lab database on it may
-- have made them already, even at this moment.
DO $$ BEGIN CREATE ROLE lab_rig NOLOGIN;
EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$;
DO $$ BEGIN CREATE ROLE lab_viewer NOLOGIN;
EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$;

DO $$ BEGIN
  EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database());
  EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO lab_rig, lab_viewer', current_database());
END $$;
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
GRANT USAGE ON SCHEMA public TO lab_rig, lab_viewer;

REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC, lab_rig, lab_viewer;
GRANT SELECT ON ALL TABLES IN SCHEMA public TO lab_rig, lab_viewer;
GRANT INSERT ON lab_tests, lab_actions, lab_events TO lab_rig;
GRANT INSERT, UPDATE ON lab_live TO lab_rig;
GRANT INSERT, UPDATE ON lab_programmes TO lab_rig;
GRANT INSERT, DELETE ON lab_programme_blocks, lab_inspections TO lab_rig;

CREATE OR REPLACE FUNCTION lab_my_rig() RETURNS text
  LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp
  AS $$ SELECT rig_name FROM public.lab_rigs WHERE login = session_user $$;
REVOKE ALL ON FUNCTION lab_my_rig() FROM PUBLIC;
GRANT EXECUTE ON FUNCTION lab_my_rig() TO lab_rig, lab_viewer;

-- Row rules: everyone with SELECT reads every row; a rig writes its own.
-- The owner (the administrator) is not bound by them.
ALTER TABLE lab_tests ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS lab_read ON lab_tests;
CREATE POLICY lab_read ON lab_tests FOR SELECT USING (true);
DROP POLICY IF EXISTS lab_own_insert ON lab_tests;
CREATE POLICY lab_own_insert ON lab_tests FOR INSERT TO lab_rig WITH CHECK (rig_name = lab_my_rig());

ALTER TABLE lab_events ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS lab_read ON lab_events;
CREATE POLICY lab_read ON lab_events FOR SELECT USING (true);
DROP POLICY IF EXISTS lab_own_insert ON lab_events;
CREATE POLICY lab_own_insert ON lab_events FOR INSERT TO lab_rig WITH CHECK (rig_name = lab_my_rig());

ALTER TABLE lab_live ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS lab_read ON lab_live;
CREATE POLICY lab_read ON lab_live FOR SELECT USING (true);
DROP POLICY IF EXISTS lab_own_insert ON lab_live;
CREATE POLICY lab_own_insert ON lab_live FOR INSERT TO lab_rig WITH CHECK (rig_name = lab_my_rig());
DROP POLICY IF EXISTS lab_own_update ON lab_live;
CREATE POLICY lab_own_update ON lab_live FOR UPDATE TO lab_rig
  USING (rig_name = lab_my_rig()) WITH CHECK (rig_name = lab_my_rig());

-- A programme changes over days: its rig updates it, and replaces its
-- blocks and inspections, never another rig's.
ALTER TABLE lab_programmes ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS lab_read ON lab_programmes;
CREATE POLICY lab_read ON lab_programmes FOR SELECT USING (true);
DROP POLICY IF EXISTS lab_own_insert ON lab_programmes;
CREATE POLICY lab_own_insert ON lab_programmes FOR INSERT TO lab_rig WITH CHECK (rig_name = lab_my_rig());
DROP POLICY IF EXISTS lab_own_update ON lab_programmes;
CREATE POLICY lab_own_update ON lab_programmes FOR UPDATE TO lab_rig
  USING (rig_name = lab_my_rig()) WITH CHECK (rig_name = lab_my_rig());

DO $$
DECLARE
  child text;
BEGIN
  FOREACH child IN ARRAY ARRAY['lab_programme_blocks', 'lab_inspections'] LOOP
    EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', child);
    EXECUTE format('DROP POLICY IF EXISTS lab_read ON %I', child);
    EXECUTE format('CREATE POLICY lab_read ON %I FOR SELECT USING (true)', child);
    EXECUTE format('DROP POLICY IF EXISTS lab_own_insert ON %I', child);
    EXECUTE format('CREATE POLICY lab_own_insert ON %I FOR INSERT TO lab_rig WITH CHECK (EXISTS (SELECT 1 FROM '
                   'lab_programmes p WHERE p.programme_id = %I.programme_id AND p.rig_name = lab_my_rig()))',
                   child, child);
    EXECUTE format('DROP POLICY IF EXISTS lab_own_delete ON %I', child);
    EXECUTE format('CREATE POLICY lab_own_delete ON %I FOR DELETE TO lab_rig USING (EXISTS (SELECT 1 FROM '
                   'lab_programmes p WHERE p.programme_id = %I.programme_id AND p.rig_name = lab_my_rig()))',
                   child, child);
  END LOOP;
END $$;

-- lab_actions arrive by COPY, which row rules would forbid: a statement
-- trigger checks instead that every action belongs to a test of the rig.
CREATE OR REPLACE FUNCTION lab_actions_of_own_tests() RETURNS trigger
  LANGUAGE plpgsql AS $$
DECLARE
  mine text := lab_my_rig();  -- once, not once per action
BEGIN
  IF pg_has_role(session_user, 'lab_rig', 'MEMBER')
     AND NOT (SELECT rolsuper FROM pg_roles WHERE rolname = session_user)
     AND EXISTS (SELECT 1 FROM (SELECT DISTINCT test_id FROM added) a
                 WHERE NOT EXISTS (SELECT 1 FROM lab_tests t
                                   WHERE t.test_id = a.test_id AND t.rig_name = mine)) THEN
    RAISE EXCEPTION 'actions of a test that is not this rig''s' USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN NULL;
END $$;
DROP TRIGGER IF EXISTS lab_actions_own ON lab_actions;
CREATE TRIGGER lab_actions_own AFTER INSERT ON lab_actions REFERENCING NEW TABLE AS added
  FOR EACH STATEMENT EXECUTE FUNCTION lab_actions_of_own_tests();
