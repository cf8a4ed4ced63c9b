# font.bin parsing. The parser is Qt-free, so the target builds it alone and runs in
# headless fuzz builds too. Seeds in fuzz/corpus/font_bin: shipped-font.bin is
# data/font.bin; the others are small hand-made files named after the fault each probes
# (truncation at every field, negative counts and lengths, records beyond the stated
# total, records without their extents pair, zero metrics, bytes of 128 and above).
hs_fuzz(font_bin
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/font_bin.cpp ${CMAKE_SOURCE_DIR}/src/graphics/fontfile.cpp)
