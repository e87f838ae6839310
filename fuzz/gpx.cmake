# The GPX reader: fuzzed GPX text, seeds in corpus/gpx_reader (and the golden files in
# tests/data/gpx), tokens in gpx.dict.
tarnwick_add_fuzzer(gpx_reader_fuzzer SOURCE gpx_reader_fuzzer.cpp LIBS tarnwick_gpx)
