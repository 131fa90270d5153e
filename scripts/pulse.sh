# Sourced helper: a private headless PulseAudio with a null sink "nul" and a null source "nsrc",
# both 11025 Hz mono, reachable through ALSA's "pulse" PCM. The sink is loaded as PulseAudio loads
# sinks by default, rewinds allowed, as an operator's desktop runs its hardware sinks. Exports
# PULSE_SERVER and XDG_RUNTIME_DIR for the processes started afterwards.
pulse_start() {
    if ! command -v pulseaudio >/dev/null; then
        echo "pulseaudio is not installed; the paced audio tests will be skipped" >&2
        return 0
    fi
    TAVRIN_PULSE_DIR=$(mktemp -d /tmp/tavrin-pulse.XXXXXX)
    chmod 700 "$TAVRIN_PULSE_DIR"
    export XDG_RUNTIME_DIR=$TAVRIN_PULSE_DIR
    export PULSE_SERVER=unix:$TAVRIN_PULSE_DIR/pulse/native
    pulseaudio -D --exit-idle-time=-1 -n --disallow-exit --log-target=file:"$TAVRIN_PULSE_DIR/log" \
        --load="module-null-sink sink_name=nul rate=11025 channels=1" \
        --load="module-null-source source_name=nsrc rate=11025 channels=1" \
        --load=module-native-protocol-unix \
        --load="module-always-sink" >/dev/null 2>&1 || true
    for _ in $(seq 50); do
        [ -S "$TAVRIN_PULSE_DIR/pulse/native" ] && break
        sleep 0.1
    done
    if [ -S "$TAVRIN_PULSE_DIR/pulse/native" ]; then
        export TAVRIN_PULSE=1
        pactl set-default-sink nul >/dev/null 2>&1 || true
        pactl set-default-source nsrc >/dev/null 2>&1 || true
    else
        echo "PulseAudio did not start; the paced audio tests will be skipped" >&2
    fi
}

pulse_stop() {
    [ -n "${TAVRIN_PULSE_DIR:-}" ] || return 0
    local pid
    pid=$(cat "$TAVRIN_PULSE_DIR/pulse/pid" 2>/dev/null || true)
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$TAVRIN_PULSE_DIR"
}
