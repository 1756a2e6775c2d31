# Write a text file for Windows users: INPUT with CR LF line ends as OUTPUT, after the
# optional PREFACE file's text. Run at build time (cmake -P).
# Inputs: INPUT, OUTPUT, PREFACE (optional).
file(READ "${INPUT}" text)
if(DEFINED PREFACE)
  file(READ "${PREFACE}" preface)
  string(PREPEND text "${preface}\n")
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
