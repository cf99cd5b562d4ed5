# The two commands of the README.
.PHONY: test deps

deps:
	scripts/deps.sh

test: deps
	scripts/test-all.sh
