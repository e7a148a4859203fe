#!/bin/sh
# Runs a command with a home folder of its own, made for this run and
# removed after it: CTest runs tests side by side, and a framework program
# saves its user store in the home at its exit.
home=$(mktemp -d) || exit 1
trap 'rm -rf "$home"' EXIT
HOME=$home "$@"
