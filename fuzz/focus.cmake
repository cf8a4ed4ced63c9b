# The custom focus file (cfdump.bin). Seeds in fuzz/corpus/cfdump: shipped.bin is
# data/cfdump.bin; the others are small files named after what each probes (truncation
# in every field, counts out of range, long and odd names, unknown protocols).
hs_fuzz(cfdump SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/cfdump.cpp LIBS hs_map)
