// The sizes of the driver's tables (platform-free): packages 1..4096 on
// each side, levels and masks 1..32, workstations 0..1000.
#pragma once

const int kPackageMax = 4096;      // route index and lock flags; the largest package number sent
const int kLevelCount = 32;
const int kMaskCount = 32;
const int kWorkstationMax = 1000;  // the access table holds workstations 0..1000
const int kDeviceMax = 999;        // device numbers are 1..999
