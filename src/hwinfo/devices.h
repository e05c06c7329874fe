// The device inventory read from the machine: present devices of a setup class,
// the display-device list and the IP Helper adapter list.
#pragma once

#include <cstddef>
#include <string>

#include "common/win32.h"
#include "hwinfo/device_names.h"
#include "hwinfo/profile_compose.h"

namespace morvane {

// Standard device setup classes.
inline constexpr GUID kDisplayClass = {0x4D36E968, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
inline constexpr GUID kMediaClass = {0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
inline constexpr GUID kScsiAdapterClass = {0x4D36E97B, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
inline constexpr GUID kHdcClass = {0x4D36E96A, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
inline constexpr GUID kNetClass = {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// Up to `maxCount` distinct names of the present devices of `setupClass`;
// empty when the device list cannot be had.
DeviceNameList ListClassDevices(const GUID& setupClass, std::size_t maxCount);

// The device string of the system's display device 0; empty when there is none.
std::wstring PrimaryDisplayDeviceString();

// The adapters of the IP Helper list (library loaded at run time); empty on any failure.
std::vector<AdapterFacts> ReadNetworkAdapters();

// The text of the networkAdapters field.
std::wstring DescribeNetworkAdapters();

// Every device list the profile needs, reading the fallbacks only when needed.
DeviceInventory ReadDeviceInventory();

}  // namespace morvane
