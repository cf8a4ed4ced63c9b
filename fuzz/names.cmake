# The name files: parse_address_line, the local names file and the manufacturers file
# over arbitrary contents. Seeds in fuzz/corpus/name_files: both address spellings,
# comments, CRLF lines, lines past the 1023- and 255-character limits, NUL bytes,
# address-only lines, malformed bytes and names of 100 characters.
hs_fuzz(name_files SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/name_files.cpp LIBS hs_model)
