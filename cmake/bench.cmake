# Benchmarks (Google Benchmark): one executable per bench/*.cpp, built by the `benchmarks`
# target only, so that ordinary builds and `make test` do not wait for them.
find_package(benchmark QUIET)
if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found: the benchmarks target is empty")
    add_custom_target(benchmarks)
    return()
endif()

prismatel_glob(BENCH_SOURCES bench)
set(BENCH_TARGETS)
foreach(src ${BENCH_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(bench_${name} EXCLUDE_FROM_ALL ${src})
    target_link_libraries(bench_${name} PRIVATE vdlib test_support benchmark::benchmark)
    list(APPEND BENCH_TARGETS bench_${name})
endforeach()
add_custom_target(benchmarks DEPENDS ${BENCH_TARGETS})
