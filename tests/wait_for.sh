# Sourced by test scripts. wait_for SECONDS COMMAND...: polls COMMAND until it succeeds;
# fails when SECONDS have passed first.
wait_for() {
    local end=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.2
    done
}
