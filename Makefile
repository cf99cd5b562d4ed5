# The two commands of the README.
.PHONY: test demo deps

deps:
	scripts/deps.sh

test: deps
	scripts/test-all.sh

demo: deps
	scripts/demo.sh
