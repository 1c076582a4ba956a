// The translation unit that the tests' precompiled header is built for.
