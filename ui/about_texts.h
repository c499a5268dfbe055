// The wording the program shows about itself and the About window's two
// targets, kept together so they can be changed in one place. The resource
// script reads the macros; the program reads the constants.
#pragma once

#define HARKWELL_AUTHORS "Harkwell Team"
#define HARKWELL_CREDIT_LINE "(c) 2002 " HARKWELL_AUTHORS

#ifndef RC_INVOKED
namespace harkwell::ui {

inline constexpr char kApplicationTitle[] = "Harkwell";
inline constexpr char kCreditLine[] = HARKWELL_CREDIT_LINE;
inline constexpr char kSiteLabel[] = "HW Site";
inline constexpr char kSiteTarget[] = "https://example.org/harkwell";
inline constexpr char kEmailLabel[] = "Email HW";
inline constexpr char kEmailTarget[] = "mailto:harkwell@example.org";
inline constexpr char kThanksLine[] = "*** Thanks to all testers ***";

}  // namespace harkwell::ui
#endif
