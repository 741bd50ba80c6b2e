# Shared by campaign-access and campaign-sqlite: runs damage_campaign over one file,
# restarting after a crash of the engine's process (the copy that crashed it is kept in
# $work/crashes) until COUNT cases ran or SECONDS passed. Prints the program's summaries;
# a failure that is not an engine error or a peak memory over the limit fails the file.
campaign_file() {
    local kind=$1 file=$2 count=$3 seconds=$4 work=$5
    local start=0 end=$count began=$SECONDS status
    mkdir -p "$work/crashes"
    while [ "$start" -lt "$end" ]; do
        local left=0
        if [ "$seconds" -gt 0 ]; then
            left=$((seconds - (SECONDS - began)))
            [ "$left" -gt 0 ] || break
        fi
        set +e
        QT_QPA_PLATFORM=offscreen QUARNEL_VOICE=none nice -n 10 "$program" "$kind" "$file" $((end - start)) \
            --start "$start" --work "$work" --seconds "$left" | tee "$work/last"
        status=${PIPESTATUS[0]}
        set -e
        if [ "$status" -eq 0 ] || [ "$status" -eq 4 ] || [ "$status" -eq 5 ]; then
            [ "$status" -eq 0 ] || failures=$((failures + 1))
            break
        fi
        # A hang (3) or a crash: keep the copy, go on after it.
        local at
        at=$(cat "$work/current" 2>/dev/null || echo "$start")
        cp "$work"/case.* "$work/crashes/$(basename "$file").$at" 2>/dev/null || true
        echo "CRASH-OR-HANG status $status at case $at of $file (kept in $work/crashes)"
        failures=$((failures + 1))
        start=$((at + 1))
    done
}

campaign_build() {
    local build=${QUARNEL_BUILD:-build}
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S . -B "$build" -G Ninja -DQUARNEL_TESTS=ON -DQUARNEL_BENCH=OFF >/dev/null
    fi
    cmake --build "$build" -j2 --target damage_campaign quarnel-mdb-reader >/dev/null
    program=$PWD/$build/tests/damage_campaign
}
