#!/bin/sh
# Builds the Jet SQL fuzz target with clang and runs it for the given number of seconds
# (300), starting from the queries below.
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${FUZZ_BUILD:-$here/../../build-fuzz-jetsql}
mkdir -p "$build/project" "$build/corpus"
cat > "$build/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(QuarnelJetSqlFuzz LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(QUARNEL_ROOT $here/..)
include($here/jetsql.cmake)
CMAKE
cmake -S "$build/project" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build"

n=0
while IFS= read -r query; do
  n=$((n + 1))
  [ -e "$build/corpus/seed$n" ] || printf '%s' "$query" > "$build/corpus/seed$n"
done <<'SEEDS'
Select * From Osoby WHERE Jméno LIKE 'N*'
select Jméno,Příjmení from Osoby
SELECT [Order Details].* FROM [Order Details] WHERE Datum >= #1/31/2024#
SELECT Jméno & ' ' & Příjmení AS Celé FROM Osoby WHERE Aktivní = True;
SELECT TOP 2 * FROM Osoby ORDER BY Jméno
SELECT DISTINCTROW TOP 50 PERCENT a Mod 2, "t""x" FROM t UNION SELECT TOP 1 b, c FROM t
SELECT Left(Jméno, 2), Mid(Příjmení, 2, 1), IIf(IsNull(Plat), Nz(Plat, 0), Round(Plat, 1)) FROM Osoby
SELECT Year(Datum), Weekday(Datum), DateSerial(2024, 13, 0), Val('&H1F'), Str(-0.5) FROM Osoby WHERE Datum > #12/30/1899 10:00 PM#
SELECT a FROM t WHERE b LIKE '[!a-c]?#*' AND a IN (SELECT OrderID FROM [Order Details])
UPDATE t SET a = No WHERE [b] = 'x'
SEEDS
cat > "$build/jetsql.dict" <<'DICT'
"SELECT"
"FROM"
"WHERE"
"TOP"
"PERCENT"
"DISTINCTROW"
"UNION"
"LIKE"
"Mod"
"True"
"No"
"&"
";"
"--"
"/*"
"'"
"\""
"["
"]"
"#"
"#1/31/2024#"
"(SELECT"
"Left("
"IsNull("
"Replace("
"Space("
"String("
"InStr("
DICT
"$build/jetsql_fuzz" -max_total_time="${1:-300}" -max_len=1024 -timeout=10 -rss_limit_mb=2048 \
  -dict="$build/jetsql.dict" -artifact_prefix="$build/" -print_final_stats=1 "$build/corpus"
