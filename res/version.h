#pragma once
// The program's version: the one place it is defined. The version resource,
// the About box, the installer and the portable archive all take it from here.

#define VELLUMIX_VERSION_MAJOR 1
#define VELLUMIX_VERSION_MINOR 4
#define VELLUMIX_VERSION_PATCH 0

#define VELLUMIX_STR2(x) #x
#define VELLUMIX_STR(x) VELLUMIX_STR2(x)
// "1.4": what the About box shows after "Version ".
#define VELLUMIX_VERSION_SHORT VELLUMIX_STR(VELLUMIX_VERSION_MAJOR) "." VELLUMIX_STR(VELLUMIX_VERSION_MINOR)
// "1.4.0.0": the four-part file and product version.
#define VELLUMIX_VERSION_FULL \
  VELLUMIX_VERSION_SHORT "." VELLUMIX_STR(VELLUMIX_VERSION_PATCH) ".0"
