// The sixteen-field description of the machine and the erased disk that every
// report prints, in print order (the field names are the JSON keys).
#pragma once

#include <array>
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

// The sixteen fields in print order with their report keys: the order every report
// prints them in and the order the stamp's text record stores them in.
struct HardwareFieldRef {
    const wchar_t* key;
    std::wstring HardwareProfile::*member;
};

inline constexpr std::array<HardwareFieldRef, 16> kHardwareFields = {{
    {L"manufacturer", &HardwareProfile::manufacturer},
    {L"chassisType", &HardwareProfile::chassisType},
    {L"model", &HardwareProfile::model},
    {L"serial", &HardwareProfile::serial},
    {L"uuid", &HardwareProfile::uuid},
    {L"assetTag", &HardwareProfile::assetTag},
    {L"processor", &HardwareProfile::processor},
    {L"totalMemory", &HardwareProfile::totalMemory},
    {L"disk", &HardwareProfile::disk},
    {L"diskGeometry", &HardwareProfile::diskGeometry},
    {L"graphicsCard", &HardwareProfile::graphicsCard},
    {L"soundCards", &HardwareProfile::soundCards},
    {L"networkAdapters", &HardwareProfile::networkAdapters},
    {L"motherboard", &HardwareProfile::motherboard},
    {L"biosInformation", &HardwareProfile::biosInformation},
    {L"storageController", &HardwareProfile::storageController},
}};

}  // namespace morvane
