// Parmix: value-to-text and text-to-value conversions for SysEx parameters
// whose shown value is not a plain integer. For a type whose function name is
// F, the tables look up "sxGet" + F and "sxSet" + F in this library by name;
// further conversions are added by exporting more pairs under that rule.
//
// sxGet<F>(value, buffer): writes the text of value into buffer (the caller
// passes 256 zeroed bytes; at most 255 characters are written).
// sxSet<F>(text, current): the value that text stands for, current when the
// text cannot be read.
// Values are the ones the user sees (raw data value minus the range offset).
// The functions keep no state and may be called from any thread. Decimal
// fractions are written and read with the decimal separator of the user's
// locale (the LC_NUMERIC setting of the environment).
#pragma once

#include <cstdint>

#define PARMIX_EXPORT extern "C" __attribute__((visibility("default")))

PARMIX_EXPORT void sxGetNibbled_Fine_Tune(int32_t value, char* buffer);
PARMIX_EXPORT int32_t sxSetNibbled_Fine_Tune(const char* text, int32_t current);
PARMIX_EXPORT void sxGetGS_Delay_Time_Center(int32_t value, char* buffer);
PARMIX_EXPORT int32_t sxSetGS_Delay_Time_Center(const char* text, int32_t current);
PARMIX_EXPORT void sxGetGS_Delay_Time_Ratio(int32_t value, char* buffer);
PARMIX_EXPORT int32_t sxSetGS_Delay_Time_Ratio(const char* text, int32_t current);
