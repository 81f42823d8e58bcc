# The project's commands. See README.md.
MAKEFLAGS += --no-print-directory
.PHONY: dist check test bench fuzz demo format clean

# The certificate that `make dist` signs with, if any (scripts/sign.sh).
export SIGN_PFX SIGN_KEY SIGN_CERT SIGN_PASS SIGN_PASS_FILE SIGN_CA

# Installs what is missing, builds the three deliverables (and the host tools), the shell
# extension's installer fragment and the installer into dist/; signs them given a certificate.
dist:
	@scripts/dist.sh

# The loop to run while working: formatting, the host build and its unit tests (no mingw, no Wine).
check:
	@scripts/check.sh

# Every test: the host unit tests first, then the deliverables, the tests that inspect them, the
# fuzz targets and the Windows tests under Wine.
test:
	@scripts/test.sh

# Runs the host benchmarks (Release build) and prints their figures.
bench:
	@scripts/bench.sh

# Runs the fuzz targets for longer than `make test` does.
fuzz:
	@scripts/fuzz.sh

# Shows the product working under Wine in a throwaway prefix.
demo:
	@scripts/demo.sh

# Formats every C++ file of the tree with .clang-format.
format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format -i

clean:
	rm -rf build dist
