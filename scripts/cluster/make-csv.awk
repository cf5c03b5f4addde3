# Writes a quoted CSV export with a header: ROWS records (-v rows=N) whose
# values hold the split string, doubled quotes, LF and CR LF line ends and
# UTF-8 text, so that a part boundary often falls inside a quoted value.
BEGIN {
  if (rows == "") rows = 20000
  srand(33)
  split("Åre|Zürich|São Paulo|Kraków|Tórshavn|Oslo", city, "|")
  printf "id,name,\"note, long\",city,amount\r\n"
  for (i = 1; i <= rows; i++) {
    note = "plain note " i
    r = int(rand() * 6)
    if (r == 0) note = "\"line one\nline two, with a comma\""
    else if (r == 1) note = "\"said \"\"hi\"\"\r\nthen left\r\n\""
    else if (r == 2) note = "\"" sprintf("%0" int(rand() * 300) "d", 0) "\""
    else if (r == 3) note = ""
    name = (i % 7 == 0) ? "\"Berg, Anna\"" : "name" i
    printf "%d,%s,%s,%s,%.2f\r\n", i, name, note, city[1 + i % 6], rand() * 1000
  }
}
