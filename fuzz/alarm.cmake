# The alarm file: adl_parse over arbitrary bytes, then the round trip of what loaded.
# Seeds in fuzz/corpus/adl_parse: shipped.adl is data/alarm.adl; the others are small
# files named after what each probes (every form and address spelling, open strings and
# comments, hexadecimal bytes, near-miss Ethernet addresses, the writer's own forms).
# For libFuzzer runs pass -dict=fuzz/adl_parse.dict (the language's tokens).
hs_fuzz(adl_parse SOURCES ${CMAKE_CURRENT_LIST_DIR}/adl_parse.cpp LIBS hs_alarm)

# The Alarm Builder's text fields. Seeds in fuzz/corpus/builder_text: values, Ethernet
# addresses and protocol names, near misses of each.
hs_fuzz(builder_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/builder_text.cpp LIBS hs_alarm)
