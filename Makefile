# The whole set-up on a fresh Debian machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
PACKAGES := cmake ninja-build g++ pkg-config libjpeg62-turbo-dev libgtest-dev \
            qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core fonts-liberation \
            xvfb xauth clang libclang-rt-14-dev \
            appstream desktop-file-utils dpkg-dev file lintian parallel \
            libexiv2-dev clang-format libpng-dev libwebp-dev libavif-dev liblcms2-dev libheif-dev \
            qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools

.PHONY: all deps build test run clean check-deep check-scalar check-gui-asan check-format format deb
.PHONY: check-deps image check-image check-slurm

# What the package, image and Slurm checks use beyond the build: cjpeg for
# their made-up photos, mmdebstrap and podman (with runc) for the image, Slurm
# and munge for a one-node cluster.
CHECK_PACKAGES := libjpeg-turbo-progs mmdebstrap podman runc slurm-wlm munge

all: build

# Installs only what is missing; apt-get update runs once, when needed.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" -ne 0 ]; then SUDO=sudo; fi; \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: deps
	cmake -S . -B $(BUILD) -G Ninja

build: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian packages from the same build: $(BUILD)/vizuvod-batch_<version>_<arch>.deb
# (no window) and $(BUILD)/vizuvod_<version>_<arch>.deb (the window). Only what
# they hold is built (vizuvod_packaged); the tests are left for `make test`.
deb: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS) --target vizuvod_packaged
	cd $(BUILD) && cpack -G DEB

check-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(CHECK_PACKAGES)"

# The container image vizuvod-batch:<version> from Debian's archive and the
# vizuvod-batch package, and $(BUILD)/vizuvod-batch_<version>.oci.tar.
image: deb check-deps
	scripts/make-image.sh $(BUILD)

# The image against the host build, on made-up photos (scripts/check-image.sh).
check-image: check-deps
	scripts/check-image.sh $(BUILD)

# The README's Slurm job array on a one-node Slurm of its own, against one
# run of the build's vizuvod-batch (scripts/check-slurm.sh).
check-slurm: deps check-deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS) --target vizuvod-batch
	scripts/check-slurm.sh $(BUILD)

run: build
	@./scripts/run-window.sh $(BUILD)

# Engine and batch tests under ASan+UBSan, then a bounded fuzz run (clang).
DEEP ?= build-deep
FUZZ_SECONDS ?= 60
check-deep: deps
	cmake --preset deep -B $(DEEP)
	cmake --build $(DEEP) -j $(JOBS)
	cd $(DEEP) && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)
	fuzz/run-fuzz.sh $(DEEP) $(FUZZ_SECONDS)
	$(MAKE) check-scalar

# The window, its widgets and the drawing layer under ASan+UBSan (clang).
GUI_ASAN ?= build-asan
GUI_TESTS = decor_CanvasTest decor_GradientTest decor_WizardHeaderTest app_WindowTest \
            app_ReentranceTest app_LanguageTest SpinEditTest BrowseDlgTest
check-gui-asan: deps
	cmake --preset asan -B $(GUI_ASAN)
	cmake --build $(GUI_ASAN) -j $(JOBS) --target $(GUI_TESTS) vizuvod-batch
	cd $(GUI_ASAN) && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -R '^($(shell echo $(GUI_TESTS) | tr ' ' '|'))$$'

# The engine and batch tests with the portable scalar kernels only.
SCALAR ?= build-scalar
check-scalar: deps
	cmake --preset scalar -B $(SCALAR)
	cmake --build $(SCALAR) -j $(JOBS)
	cd $(SCALAR) && ctest --output-on-failure -j $(JOBS)

# The house style (.clang-format) over every C++ file the project tracks.
FORMAT_FILES = git ls-files -z '*.cpp' '*.h'
check-format: deps
	$(FORMAT_FILES) | xargs -0 clang-format --dry-run -Werror
format: deps
	$(FORMAT_FILES) | xargs -0 clang-format -i

clean:
	rm -rf $(BUILD)
