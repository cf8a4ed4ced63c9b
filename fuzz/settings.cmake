# The settings key file: the key-file parser and the settings load and save.
hs_fuzz(settings_file SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp LIBS hs_settings)
