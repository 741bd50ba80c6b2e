-- The sample address book that ./scripts/run opens: Czech people and towns, with empty
-- values, dates, money, yes/no values, a required text that may not be empty, and a
-- stored query. Run by tools/mkdb on a new database, which already has the engine's
-- system tables and its Czech sort order.

CREATE TABLE "Města" (
  "Id" INTEGER PRIMARY KEY,
  "Název" VARCHAR(40) NOT NULL COLLATE NOCASE,
  "PSČ" VARCHAR(6) COLLATE NOCASE,
  "Kraj" VARCHAR(40) COLLATE NOCASE
);

CREATE TABLE "Osoby" (
  "Id" INTEGER PRIMARY KEY,
  "Jméno" VARCHAR(30) NOT NULL COLLATE NOCASE,
  "Příjmení" VARCHAR(40) NOT NULL COLLATE NOCASE,
  "Narozen" DATETIME,
  "Telefon" VARCHAR(20) COLLATE NOCASE,
  "Email" VARCHAR(60) COLLATE NOCASE,
  "Město" INTEGER REFERENCES "Města"("Id"),
  "Plat" CURRENCY,
  "Děti" SMALLINT DEFAULT 0,
  "Aktivní" BOOLEAN DEFAULT -1,
  "Poznámka" LONGTEXT COLLATE NOCASE
);

INSERT INTO "QSysFields" VALUES
  ('Města', 'Název', 0), ('Města', 'PSČ', 1), ('Města', 'Kraj', 1),
  ('Osoby', 'Jméno', 0), ('Osoby', 'Příjmení', 0), ('Osoby', 'Telefon', 1),
  ('Osoby', 'Email', 1), ('Osoby', 'Poznámka', 1);

INSERT INTO "Města" VALUES
  (1, 'Praha', '110 00', 'Hlavní město Praha'),
  (2, 'Brno', '602 00', 'Jihomoravský'),
  (3, 'Ostrava', '702 00', 'Moravskoslezský'),
  (4, 'Plzeň', '301 00', 'Plzeňský'),
  (5, 'Olomouc', '779 00', 'Olomoucký'),
  (6, 'České Budějovice', '370 01', 'Jihočeský'),
  (7, 'Hradec Králové', '500 02', 'Královéhradecký'),
  (8, 'Ústí nad Labem', '400 01', 'Ústecký');

INSERT INTO "Osoby" VALUES
  (1, 'Jana', 'Nováková', '1978-03-14 00:00:00', '+420 603 112 233', 'jana.novakova@example.cz', 1, 42500, 2, -1, 'Vedoucí skladu.'),
  (2, 'Petr', 'Svoboda', '1985-11-02 00:00:00', '+420 731 445 566', NULL, 2, 38900.5, 0, -1, NULL),
  (3, 'Marie', 'Dvořáková', '1969-07-21 00:00:00', NULL, 'marie.dvorakova@example.cz', 3, 51200, 3, -1, 'Účetní; pracuje z domova v pondělí.'),
  (4, 'Tomáš', 'Černý', '1992-01-30 00:00:00', '+420 777 900 800', 'tomas.cerny@example.cz', 4, 29999.99, 0, 0, ''),
  (5, 'Lucie', 'Procházková', NULL, '+420 602 101 202', NULL, 1, NULL, 1, -1, NULL),
  (6, 'Jiří', 'Kučera', '1958-09-09 00:00:00', '+420 605 303 404', 'jiri.kucera@example.cz', 5, 61000, 2, 0, 'V důchodu od roku 2023.'),
  (7, 'Eva', 'Veselá', '1988-04-17 00:00:00', NULL, 'eva.vesela@example.cz', 6, 35400, 1, -1, NULL),
  (8, 'Václav', 'Horák', '1975-12-24 00:00:00', '+420 724 555 666', NULL, 7, 44750.25, 4, -1, 'Narozen na Štědrý den.'),
  (9, 'Kateřina', 'Němcová', '1999-06-01 00:00:00', '+420 608 707 808', 'katerina.nemcova@example.cz', 8, 27300, 0, -1, NULL),
  (10, 'Ondřej', 'Marek', '1981-02-28 00:00:00', NULL, NULL, 2, 40100, 2, -1, NULL),
  (11, 'Zuzana', 'Pokorná', '1973-10-10 00:00:00', '+420 731 010 203', 'zuzana.pokorna@example.cz', 3, 47800, 1, 0, 'Odešla v březnu.'),
  (12, 'Martin', 'Pospíšil', '1990-08-08 00:00:00', '+420 739 111 000', 'martin.pospisil@example.cz', 1, 55000, 0, -1, NULL),
  (13, 'Hana', 'Hájková', '1966-05-05 00:00:00', NULL, NULL, 4, NULL, 3, -1, NULL),
  (14, 'Lukáš', 'Král', '1995-03-03 00:00:00', '+420 604 909 090', 'lukas.kral@example.cz', 5, 31500, 0, -1, NULL),
  (15, 'Alena', 'Jelínková', '1983-09-19 00:00:00', '+420 776 121 314', NULL, 6, 36600, 2, -1, 'Chce dostávat nabídky poštou.'),
  (16, 'Pavel', 'Růžička', '1979-11-11 00:00:00', '+420 725 151 617', 'pavel.ruzicka@example.cz', 7, 49999, 1, -1, NULL),
  (17, 'Věra', 'Benešová', '1961-01-15 00:00:00', NULL, 'vera.benesova@example.cz', 8, 33000, 2, 0, NULL),
  (18, 'Jan', 'Fiala', '1987-07-07 00:00:00', '+420 608 181 920', NULL, 1, 45200, 0, -1, NULL),
  (19, 'Klára', 'Sedláčková', '2001-12-12 00:00:00', '+420 702 212 223', 'klara.sedlackova@example.cz', 2, 26500, 0, -1, 'Studentka, částečný úvazek.'),
  (20, 'Michal', 'Doležal', '1970-04-04 00:00:00', '+420 734 242 526', 'michal.dolezal@example.cz', 3, 58800.75, 3, -1, NULL),
  (21, 'Šárka', 'Zemanová', '1994-02-14 00:00:00', NULL, NULL, NULL, NULL, 0, -1, 'Město zatím neuvedeno.'),
  (22, 'Čestmír', 'Chalupa', '1956-06-30 00:00:00', '+420 603 272 829', NULL, 6, 39000, 5, 0, NULL);

CREATE VIEW "Aktivní osoby" AS
  SELECT "Jméno", "Příjmení", "Telefon" FROM "Osoby" WHERE "Aktivní" = -1 ORDER BY "Příjmení";
INSERT INTO "QSysQueries" VALUES
  ('Aktivní osoby', 'SELECT Jméno, Příjmení, Telefon FROM Osoby WHERE Aktivní = True ORDER BY Příjmení');
