hs_fuzz(pdl_parse SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pdl_parse.cpp LIBS hs_protocol)
hs_fuzz(pd_classify SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pd_classify.cpp LIBS hs_protocol)
