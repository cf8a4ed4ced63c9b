// Between the drawing library and its output device: the device record and the table
// of device operations. Not for use outside src/graphics.
#pragma once

#include <string>

// Device operations, in the order of the device table. Each returns 1 on success and
// -1 when the device does not support the request. Only the operations the library's
// routines call are present.
struct DeviceOps {
    const char* name;        // "mswin"
    const char* large_font;  // hardware font names
    const char* small_font;
    int (*clear)();
    int (*color)(int index);
    int (*draw)(int x, int y);                            // from the current device position
    int (*exit)();
    int (*fill)(int n, const int* x, const int* y);       // y upward; winding rule
    int (*font)(const char* name);
    int (*init)();
    int (*mapcolor)(int index, int r, int g, int b);
    int (*setls)(int style);
    int (*setlw)(int width);
};

extern const DeviceOps kMswinDevice;

struct DeviceRecord {
    const DeviceOps* ops = nullptr;
    std::string name;
    int width = 500, height = 500;  // pixels
    int depth = 24;                 // colour planes
    int x = 0, y = 0;               // current position in device pixels, y upward
    int line_width = 1;             // read by the draw operation
    int colour = 0;                 // current colour index
};

// The one device record (owned by the library state).
DeviceRecord& device_record();
