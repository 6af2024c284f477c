-- The organisation file. Types as in the show file's schema.

CREATE TABLE Members_tbl (
    [Mem Num]      TEXT(25) NOT NULL PRIMARY KEY,
    [Mem Nam]      TEXT(50),
    [Mem Add_1]    TEXT(50),
    [Mem Add_2]    TEXT(50),
    [Mem City]     TEXT(25),
    [Mem State]    TEXT(25),
    [Mem Zip]      TEXT(25),
    [Mem Phone]    TEXT(25),
    [Mem Email]    TEXT(50),
    [Mem Horse]    TEXT(50),
    [Mem Reg No]   TEXT(25),
    [Mem Amat No]  TEXT(25),
    [Mem Misc ID]  TEXT(25),
    [Mem StartDat] DATETIME,
    [Mem Points]   DOUBLE,
    [Mem FeeBal]   CURRENCY
);

-- Points for a place in a class of n exhibitors: column Xn (classes of more than 20 use X20).
CREATE TABLE Points_tbl (
    [Place] SHORT NOT NULL UNIQUE,
    X1 DOUBLE, X2 DOUBLE, X3 DOUBLE, X4 DOUBLE, X5 DOUBLE,
    X6 DOUBLE, X7 DOUBLE, X8 DOUBLE, X9 DOUBLE, X10 DOUBLE,
    X11 DOUBLE, X12 DOUBLE, X13 DOUBLE, X14 DOUBLE, X15 DOUBLE,
    X16 DOUBLE, X17 DOUBLE, X18 DOUBLE, X19 DOUBLE, X20 DOUBLE
);

-- Payout for a place in a class of n exhibitors: column Pn, a factor of the entry fee or dollars.
CREATE TABLE PaySch_tbl (
    [Place] SHORT NOT NULL UNIQUE,
    P1 DOUBLE, P2 DOUBLE, P3 DOUBLE, P4 DOUBLE, P5 DOUBLE,
    P6 DOUBLE, P7 DOUBLE, P8 DOUBLE, P9 DOUBLE, P10 DOUBLE,
    P11 DOUBLE, P12 DOUBLE, P13 DOUBLE, P14 DOUBLE, P15 DOUBLE,
    P16 DOUBLE, P17 DOUBLE, P18 DOUBLE, P19 DOUBLE, P20 DOUBLE
);

CREATE TABLE OrgData_tbl (
    OrgName   TEXT(50),
    OrgAdd1   TEXT(50),
    OrgAdd2   TEXT(50),
    OrgCity   TEXT(30),
    OrgState  TEXT(30),
    OrgZip    TEXT(15),
    OrgPhone  TEXT(20),
    OrgFax    TEXT(20),
    OrgEmail  TEXT(40),
    OrgMemFee CURRENCY,
    CutOff    SHORT,
    MinMultiP DOUBLE,
    IsPrcnt   BIT NOT NULL DEFAULT 0
);

-- The member points ledger: one row per season credit added to [Mem Points] by ending a class.
-- Season 0 is the season in progress; a season reset numbers the closed season 1, 2, ...
-- (The same table is made by the migration to revision 2 of the organisation file.)
CREATE TABLE PointsLedger_tbl (
    [Entry Id]      INTEGER PRIMARY KEY,
    [Season]        INTEGER NOT NULL DEFAULT 0,
    [Mem Num]       TEXT(25) NOT NULL,
    [Show Name]     TEXT(150),
    [Show Date]     DATETIME,
    [Class No]      SHORT,
    [Class Name]    TEXT(100),
    [Place]         SHORT,
    [Class Entries] INTEGER,
    [Points Base]   DOUBLE,
    [Multiplier]    DOUBLE,
    [Points]        DOUBLE
);
CREATE INDEX PointsLedger_Member ON PointsLedger_tbl ([Mem Num] COLLATE NOCASE, [Season]);
