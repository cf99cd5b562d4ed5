# The two commands of the README. Each installs the Debian packages it misses.
.PHONY: test demo deps

deps:
	scripts/deps.sh test

test:
	scripts/deps.sh test
	scripts/test-all.sh

demo:
	scripts/deps.sh demo
	scripts/demo.sh
