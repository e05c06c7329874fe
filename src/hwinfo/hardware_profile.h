// The sixteen-field description of the machine and the erased disk that every
// report prints, in print order (the field names are the JSON keys).
#pragma once

#include <string>

namespace morvane {

struct HardwareProfile {
    std::wstring manufacturer;
    std::wstring chassisType;
    std::wstring model;
    std::wstring serial;
    std::wstring uuid;
    std::wstring assetTag;
    std::wstring processor;
    std::wstring totalMemory;
    std::wstring disk;
    std::wstring diskGeometry;
    std::wstring graphicsCard;
    std::wstring soundCards;
    std::wstring networkAdapters;
    std::wstring motherboard;
    std::wstring biosInformation;
    std::wstring storageController;
};

}  // namespace morvane
