// The file the shared precompiled header (common/std_headers.h) is made
// from; it holds nothing of its own.
