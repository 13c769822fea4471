#!/usr/bin/env bash
# The main job: a network change on an embedded default environment.
# The change sequence and its lab arrive with the change sequence; until then this says so.
echo "main job: the network change arrives with the change sequence; nothing to run yet" >&2
exit 1
