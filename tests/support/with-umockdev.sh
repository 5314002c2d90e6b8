#!/bin/sh
# Runs a test program with umockdev's preload library, which emulates USB devices below libusb.
# Under AddressSanitizer the sanitizer's runtime then no longer comes first; that is fine here.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
    LD_PRELOAD="libumockdev-preload.so.0${LD_PRELOAD:+:$LD_PRELOAD}" exec "$@"
