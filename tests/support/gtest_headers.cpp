// The unit that builds the test programs' precompiled header of GoogleTest
// and GoogleMock (tests/CMakeLists.txt); it has no code of its own.
