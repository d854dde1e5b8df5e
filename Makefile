# Thin wrapper over the CMake presets.
JOBS ?= $(shell nproc)

.PHONY: all build run test tsan bench fuzz format clean

all: build

build:
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

# The program broadcasts on every interface: it runs in a private network namespace.
run: build
	scripts/netns-run build/app/brimlet

# AddressSanitizer and UndefinedBehaviorSanitizer build, whole suite offscreen, loopback only.
test:
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	QT_QPA_PLATFORM=offscreen scripts/netns-run ctest --preset asan -j $(JOBS)

# The worker-thread and lock tests, the background reads of the window (folder reader, remote
# prober, given-up calls) and the window lifetime tests under ThreadSanitizer (a local run; CI
# runs the sanitizer suite). Memory accesses made inside Qt and the other system libraries, which
# are not built with ThreadSanitizer and whose locks it cannot see, are not checked
# (ignore_noninstrumented_modules); tests/tsan.supp is for such libraries only.
tsan:
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS) --target bmthread_test vcl_test \
		tasks_transfer_test tasks_mirror_test tasks_record_test tasks_overlapped_sink_test \
		servers_background_reads_test mainwin_lifetime_test
	QT_QPA_PLATFORM=offscreen scripts/netns-run ctest --preset tsan -R 'BMThread|Thread|Lock|Synchron|Timer|UploadWorker|BuildWorker|MirrorWorker|RecordWorker|OverlappedSink|BackgroundReads|Lifetime'

bench: build
	scripts/netns-run bench/run-all build

# Every libFuzzer target for FUZZ_SECONDS each on a copy of its seed corpus (three at a time), with
# the coverage each reached; a fault, or coverage under a target's floor, fails.
FUZZ_SECONDS ?= 20
fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	scripts/netns-run fuzz/run-all build-fuzz $(FUZZ_SECONDS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz
