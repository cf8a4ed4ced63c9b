# The rich-text reader (and the writer's rich-text escaping read back). Seeds in
# fuzz/corpus/rtf_reader: the report writer's golden files and small files named after
# what each probes. For libFuzzer runs pass -dict=fuzz/rtf_reader.dict.
hs_fuzz(rtf_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/rtf_reader.cpp LIBS hs_reports)
