-- The template show file. Types follow the engine's names: TEXT(n) holds at most n characters,
-- SHORT is a 16-bit whole number, LONG a 64-bit one, DOUBLE a number, CURRENCY money, BIT a
-- true/false flag, DATETIME a calendar date; INTEGER PRIMARY KEY numbers the rows of a table.

-- One row per entry of one exhibitor in one class; the field order is relied on.
-- The sizes of these texts are this file's choice: names 50, numbers and ids 25, e-mail 60.
CREATE TABLE Entries_tbl (
    [Show Exh No]     SHORT,
    [Show Exh Nam]    TEXT(50),
    [Class No]        SHORT,
    [Reg No]          TEXT(25),
    [Horse Name]      TEXT(50),
    [Member Number]   TEXT(25),
    [Place]           SHORT,
    [Exhibitor Phone] TEXT(25),
    [Owner Name]      TEXT(50),
    [Owner State]     TEXT(30),
    [Amateur No]      TEXT(25),
    [Misc ID]         TEXT(25),
    [Email]           TEXT(60),
    [Show Points]     DOUBLE
);
CREATE INDEX Entries_Class ON Entries_tbl ([Class No]);
CREATE INDEX Entries_Exhibitor ON Entries_tbl ([Show Exh No]);

CREATE TABLE Class_tbl (
    [Class No]    SHORT NOT NULL UNIQUE,
    [Class Name]  TEXT(100),
    [Class Fee]   CURRENCY,
    [Class Multi] DOUBLE,
    [Class Ended] BIT NOT NULL DEFAULT 0
);

CREATE TABLE ShowData_tbl (
    ShoName      TEXT(150),
    ShoCity      TEXT(30),
    ShoState     TEXT(30),
    DateOfEvent  DATETIME,
    TotClassUsed SHORT,
    FootNote     TEXT(110),
    Version      DOUBLE
);

CREATE TABLE MultiSelect_tbl (
    [Class No] SHORT NOT NULL UNIQUE,
    Selected   BIT NOT NULL DEFAULT 0,
    OtherExhNa BIT NOT NULL DEFAULT 0
);

-- One row per placed entry of an ended class. The exhibitor name has the size of the entry's.
CREATE TABLE PayOut_tbl (
    [PY Class No] SHORT,
    [PY Exh No]   SHORT,
    [PY Exh Nam]  TEXT(50),
    [PY Place]    SHORT,
    [PY Amt]      CURRENCY
);

CREATE TABLE ScrSht2Prnt_tbl (PrintClass SHORT);
CREATE TABLE Exh2Prnt_tbl (S_ExhNo SHORT, S_ExhNam TEXT(50));
CREATE TABLE Top10Class_tbl (ClssNo SHORT, ClssCnt SHORT);

-- Classes that can be placed and ended: they have entries and are not ended.
CREATE VIEW EndClass_Q AS
    SELECT [Class No], [Class Name], [Class Fee], [Class Multi]
    FROM Class_tbl
    WHERE [Class Ended] = 0
      AND [Class No] IN (SELECT [Class No] FROM Entries_tbl)
    ORDER BY [Class No];

-- The entries of the class whose score sheet is printed.
CREATE VIEW ScrSht2Pint_Q AS
    SELECT [Show Exh No], [Horse Name], [Show Exh Nam], [Owner Name], [Owner State],
           [Amateur No], [Reg No], [Class No]
    FROM Entries_tbl
    WHERE [Class No] IN (SELECT PrintClass FROM ScrSht2Prnt_tbl)
    ORDER BY [Show Exh No];

-- The entries of the exhibitor chosen for the exhibitor report, with their class names.
CREATE VIEW Exh2Prnt_Q AS
    SELECT e.[Show Exh Nam], e.[Show Exh No], e.[Member Number], e.[Reg No], e.[Owner Name],
           e.[Owner State], e.[Amateur No], e.[Misc ID], e.[Email], e.[Class No], e.[Place],
           e.[Show Points], e.[Horse Name], c.[Class Name]
    FROM Entries_tbl AS e
    INNER JOIN Class_tbl AS c ON e.[Class No] = c.[Class No]
    WHERE e.[Show Exh No] IN (SELECT S_ExhNo FROM Exh2Prnt_tbl)
    ORDER BY e.[Class No];

-- The office's money beyond entry fees and payouts, which come from the entries and the ended
-- classes. Amounts are whole cents. A line is never changed: a mistake is taken back by a
-- reversing line that carries the negative amount and the number of the line it reverses (at
-- most one per line). [Written At] holds the date and time as "yyyy-MM-dd HH:mm:ss".
CREATE TABLE Charges_tbl (
    [Charge No]    INTEGER PRIMARY KEY,
    [Show Exh No]  SHORT NOT NULL,
    [Written At]   DATETIME NOT NULL,
    [Charge Kind]  TEXT(20) NOT NULL,
    [Charge Text]  TEXT(100),
    [Amount Cents] LONG NOT NULL,
    [Reverses No]  LONG
);
CREATE INDEX Charges_Exhibitor ON Charges_tbl ([Show Exh No]);
CREATE UNIQUE INDEX Charges_Reversal ON Charges_tbl ([Reverses No]);

CREATE TABLE Payments_tbl (
    [Payment No]    INTEGER PRIMARY KEY,
    [Show Exh No]   SHORT NOT NULL,
    [Written At]    DATETIME NOT NULL,
    [Pay Method]    TEXT(10) NOT NULL,
    [Pay Reference] TEXT(30),
    [Received By]   TEXT(50),
    [Amount Cents]  LONG NOT NULL,
    [Reverses No]   LONG
);
CREATE INDEX Payments_Exhibitor ON Payments_tbl ([Show Exh No]);
CREATE UNIQUE INDEX Payments_Reversal ON Payments_tbl ([Reverses No]);

-- Accounts the office has settled, with when. An account counts as settled while it is marked
-- and its balance is zero; a new charge or payment takes the mark away.
CREATE TABLE Settled_tbl (
    [Show Exh No] SHORT NOT NULL UNIQUE,
    [Settled At]  DATETIME NOT NULL
);
