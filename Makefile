# Thin wrapper over the CMake presets.
JOBS ?= $(shell nproc)

.PHONY: all build run test bench fuzz format clean

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

bench: build
	scripts/netns-run bench/run-all build

fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz
