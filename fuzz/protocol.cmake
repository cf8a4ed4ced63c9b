# Targets of the protocol subsystem. For libFuzzer runs of pdl_parse, pass
# -dict=fuzz/pdl_parse.dict (the language's tokens).
hs_fuzz(pdl_parse SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pdl_parse.cpp LIBS hs_protocol)
hs_fuzz(pd_classify SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pd_classify.cpp LIBS hs_protocol)
