#!/bin/sh
# CQRLOG's voice-keyer hook, playing through Tavrin. In phone mode CQRLOG runs
# "voice_keyer.sh F<n>" for the F-key pressed: memory n plays, as Tavrin's own F-key plays it;
# the same key again while that memory plays or is paused stops it. TAVRIN_INSTANCE names the
# Tavrin of a second radio.
# CQRLOG hands the hook the key alone, not the serial number nor the call: a memory kept as a
# template speaks the fields last set with "tavrin --set".
memory=${1#F}
case "$memory" in
[1-9] | 1[0-2]) ;;
*)
    echo "voice_keyer.sh: wants F1 to F12, not \"$1\"" >&2
    exit 2
    ;;
esac
set -- ${TAVRIN_INSTANCE:+--instance "$TAVRIN_INSTANCE"}
case "$(tavrin "$@" --status)" in
"playing $memory,"* | "paused $memory,"*) exec tavrin "$@" --stop ;;
esac
exec tavrin "$@" --play "$memory"
