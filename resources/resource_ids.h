/* Resource ids and version strings shared by pairly.rc and the program. */
#pragma once

#define PAIRLY_ICON_HEART 1
#define PAIRLY_BITMAP_CARTOON 101
#define PAIRLY_BITMAP_FILL 102
#define PAIRLY_JPEG_SPLASH 201
#define PAIRLY_FONT_NAMES 301
#define PAIRLY_FONT_PERCENT 302

#define PAIRLY_VERSION_BINARY 1, 0, 0, 0
#define PAIRLY_VERSION_TEXT "1.00"
#define PAIRLY_COMPANY "The PAIRLY team"
#define PAIRLY_PRODUCT "PAIRLY Calc"
#define PAIRLY_DESCRIPTION "PAIRLY Calc name-matching calculator"
#define PAIRLY_COMMENTS "Type two names and see how well they pair."
#define PAIRLY_COPYRIGHT "Copyright (C) 2026 The PAIRLY team"
