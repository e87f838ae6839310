# Export and read of a 65,535-point track, each side by side with gpsbabel converting the same
# points; prints the ratios at the end.
tarnwick_add_bench(gpx_bench SOURCES gpx_bench.cpp LIBS tarnwick_gpx tarnwick_sim)
# Reads of GPX files shaped to cost much time or memory, with each read's peak memory.
tarnwick_add_bench(gpx_hostile_bench SOURCES gpx_hostile_bench.cpp LIBS tarnwick_gpx)
