-- The installation's two databases. The build makes SaveData.db and
-- SpaceData.db from this file beside the executable, and the record store
-- uses the same statements to mend a database that lost its table.
--
-- Text columns are TEXT so entered values ("0815") come back exactly as
-- written; AutoID is assigned on insert, increasing, never reused.

-- SaveData.db: one row per saved test.
CREATE TABLE IF NOT EXISTS TestInfo(
  AutoID INTEGER PRIMARY KEY AUTOINCREMENT,
  OpenType TEXT,
  OutIndex TEXT,
  WorkArea TEXT,
  WorkName TEXT,
  StartTestTime TEXT,
  EndTestTime TEXT,
  iWorkIndex INTEGER,
  DetailSaveDBName TEXT,
  iDealType INTEGER,
  Param1 INTEGER,
  Param2 INTEGER,
  Param3 INTEGER,
  Param4 INTEGER,
  Param5 INTEGER,
  iDealTimes INTEGER,
  iCancelDeal INTEGER
);

-- SpaceData.db (the template of every detail file): one row per action.
CREATE TABLE IF NOT EXISTS ControlState(
  AutoID INTEGER PRIMARY KEY AUTOINCREMENT,
  DealTimes INTEGER,
  CZDealTimes INTEGER,
  State1 INTEGER,
  State2 INTEGER,
  State3 INTEGER,
  StrState1 TEXT,
  StrState2 TEXT,
  StrState3 TEXT
);
