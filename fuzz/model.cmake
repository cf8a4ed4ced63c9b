hs_fuzz(frame_path SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/frame_path.cpp LIBS hs_intake)
hs_fuzz(capture_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/capture_file.cpp LIBS hs_intake)
hs_fuzz(capture_stream SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/capture_stream.cpp LIBS hs_capture)
