#!/bin/sh
# Records what the tool prints and writes for a fixed set of commands, so that a change meant to
# move code and not behaviour can be checked byte for byte:
#   tools/golden.sh BIN_DIR OUT_DIR          (BIN_DIR: a build's bin/, with ornwick and ornwick-loggen)
#   diff -r BEFORE_DIR AFTER_DIR             (nothing printed: nothing changed)
# Every command runs in a fresh home made of the build's own settings, picture map and pictures;
# the real game files are used when ../shared/fixtures is there. Exit codes are recorded too.
set -u
bin=$(cd "$1" && pwd)
out=$2
fixtures=$(cd "$(dirname "$0")/../.." && pwd)/shared/fixtures
rm -rf "$out"
mkdir -p "$out/logs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fresh_home() {
    rm -rf "$work/home"
    mkdir -p "$work/home"
    cp "$bin/Tarvel.ini" "$bin/Tarvel.map" "$work/home/"
    cp -r "$bin/images" "$work/home/images"
}

# run NAME ARGS...: the tool's output, its messages and its exit code under NAME.
run() {
    name=$1
    shift
    "$bin/ornwick" "$@" >"$out/$name.out" 2>"$out/$name.err"
    echo $? >"$out/$name.rc"
}

# The logs: the demo log and one generated log for each of the generator's options.
cp "$bin/demo/demo.zxml" "$work/demo.zxml"
gen() {
    name=$1
    shift
    "$bin/ornwick-loggen" "$@" -o "$work/$name" || exit 1
}
gen default.xml --seed 3 --rounds 3 --round-time 120
gen vechicle.xml --seed 4 --rounds 3 --round-time 120 --vechicle-spelling
gen real.xml --seed 5 --rounds 3 --round-time 120 --real-world
gen bots.zxml --seed 6 --rounds 3 --round-time 120 --players 12 --bots 12 --zxml
gen onemap.xml --seed 7 --rounds 3 --round-time 90 --map kessel_ridge --players 6
gen sized.xml --seed 8 --size 2M --rounds 3
logs="demo.zxml default.xml vechicle.xml real.xml bots.zxml onemap.xml sized.xml"

for log in $logs; do
    l="$work/$log"
    md5sum <"$l" >"$out/logs/$log.md5"
    run "$log.rounds" rounds "$l"
    run "$log.roster" roster "$l"
    run "$log.events0" events "$l" 0
    for n in 0 1; do
        fresh_home
        h=$work/home
        # Render times count from the round's first event, so that each render lands in its round.
        start=$("$bin/ornwick" events "$l" $n 2>/dev/null | head -1 | sed -n 's/.*"Timestamp":\([0-9]*\).*/\1/p')
        start=${start:-0}
        run "$log.$n.replay" replay "$l" $n --home "$h"
        run "$log.$n.replay-ticks" replay "$l" $n --home "$h" --ticks 40
        run "$log.$n.replay-seek" replay "$l" $n --home "$h" --seek 55 --ticks 3
        run "$log.$n.replay-nextkill" replay "$l" $n --home "$h" --seek 20 --next-kill --next-kill
        run "$log.$n.replay-prevkill" replay "$l" $n --home "$h" --seek 80 --previous-kill --no-animate
        run "$log.$n.replay-loop" replay "$l" $n --home "$h" --loop --ticks 400
        run "$log.$n.replay-cal" replay "$l" $n --home "$h" --ticks 20 --scale 500 --correctiony 600 --left 40 --top -30
        run "$log.$n.stats" stats "$l" $n --home "$h"
        run "$log.$n.fit" fit "$l" $n --home "$h"
        run "$log.$n.render" render "$l" $n --home "$h" --at $((start + 45)) --out "$out/$log.$n.render.png" \
            --minimap "$out/$log.$n.render-mini.png"
        run "$log.$n.render-view" render "$l" $n --home "$h" --at $((start + 45)) --out "$out/$log.$n.render-view.png" --view 700x500
        run "$log.$n.render-fitwin" render "$l" $n --home "$h" --at $((start + 70)) --out "$out/$log.$n.render-fitwin.png" \
            --fit-window 900x700 --trails 10 --deathmap --killfeed --killinfo
        run "$log.$n.render-hide" render "$l" $n --home "$h" --at $((start + 30)) --out "$out/$log.$n.render-hide.png" \
            --zoom 1500 --hide objects,flags,lines --scale 400 --correctiony 420 --left 10 --top 20
        fresh_home
        run "$log.$n.render-track" render "$l" $n --home "$work/home" --at $((start + 50)) --out "$out/$log.$n.render-track.png" \
            --view 400x300 --track 1
    done
done

# A short film on the demo log and on a generated one; what a frame holds is compared through the
# decoded pictures when the encoder's bytes are not reproducible, so keep the film itself too.
fresh_home
run demo.video video "$work/demo.zxml" 0 --home "$work/home" --out "$out/demo.video.mp4" --from 70 --to 76 --size 240 --fps 10
run default.video video "$work/default.xml" 1 --home "$work/home" --out "$out/default.video.mp4" --from 190 --to 194 \
    --size 200 --fps 10 --trails 5 --deathmap --killfeed --track 2

# The maps of the program's pictures.
for map in bramble_bay kessel_ridge; do
    fresh_home
    run "$map.objects" objects $map --home "$work/home"
    run "$map.objects-cal" objects $map --home "$work/home" --scale 700 --correctiony 650 --left -20 --top 15
    run "$map.calibrate" calibrate $map --home "$work/home" --ref 100,200=50,60 --ref 900,700=400,300
    run "$map.calibrate-save" calibrate $map --home "$work/home" --ref 100,200=50,60 --ref 900,700=400,300 \
        --ref 500,100=210,40 --save
    cp "$work/home/Tarvel.ini" "$out/$map.calibrate-save.ini"
done

# Maps made from the game's own files.
if [ -d "$fixtures" ]; then
    i=0
    for source in levels/Kwajalein_Atoll levels/Marshall_island levels/Corsica archives/kursk.rfa; do
        i=$((i + 1))
        for picture in terrain overview; do
            fresh_home
            run "import$i.$picture" import-map "$fixtures/$source" --home "$work/home" --picture $picture
            (cd "$work/home" && find . -type f | sort | xargs md5sum) >"$out/import$i.$picture.files"
        done
    done
else
    echo "no fixtures at $fixtures: the import was not recorded" >&2
fi
exit 0
