#!/usr/bin/env bash
# Measures the screen saver's music as a listener gets it: records a /s run
# under Wine from a PulseAudio null sink for a whole loop of the song and
# more, then prints its level, its clipping and the length of its loop.
# Not part of the test run (it takes over two minutes):
#   bash tests/e2e/music_measure.sh [SECONDS]
set -u
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin music-measure

HERE=$(cd "$(dirname "$0")" && pwd)
SECONDS_RECORDED=${1:-130}
REC=$E2E_WORK/saver.wav

start_sound "$E2E_WORK/pulse" || exit 1
reg_clear musica # on by default
record_start "$REC" $((SECONDS_RECORDED + 120)) || exit 1
bounded xdotool mousemove 500 400
SAVER_TIMEOUT=$((SECONDS_RECORDED + 60)) saver_start /s
sleep "$SECONDS_RECORDED"
bounded xdotool key space
saver_wait 15 >/dev/null
record_stop

# Where the music starts: the first 50 ms window above -60 dBFS.
start=$(bounded sox "$REC" -t raw -e signed -b 16 -L -c 2 -r 44100 - | perl -e '
    binmode STDIN; my $w = 2205 * 4; my $i = 0;
    while (read(STDIN, my $b, $w) == $w) {
        my $s = 0; $s += $_ * $_ for unpack("s<*", $b);
        if (sqrt($s / 4410) > 32768 * 10 ** (-60 / 20)) { printf "%.2f\n", $i * 0.05; exit }
        $i++;
    }
    print "none\n";')
echo "music starts at $start s of the recording"
[ "$start" = none ] && exit 1
bounded sox "$REC" "$E2E_WORK/music.wav" trim "$start"
echo "level and clipping over $(bounded soxi -D "$E2E_WORK/music.wav") s of music:"
bounded sox "$E2E_WORK/music.wav" -n stats 2>&1 | grep -E 'Pk lev dB|RMS lev dB|RMS Pk dB|Crest|Flat factor|Pk count'
clipped=$(bounded sox "$E2E_WORK/music.wav" -t raw -e signed -b 16 -L - | perl -e '
    binmode STDIN; local $/; my $n = 0;
    for (unpack("s<*", <STDIN>)) { $n++ if $_ >= 32767 || $_ <= -32768 }
    print "$n\n";')
echo "samples at full scale (clipped): $clipped"

# The loop: where the song's opening comes back. The opening 12 s are
# matched against the music from 30 s on.
bounded sox "$E2E_WORK/music.wav" "$E2E_WORK/opening.wav" trim 0 12
bounded sox "$E2E_WORK/music.wav" "$E2E_WORK/later.wav" trim 30
bounded -s 120 perl "$HERE/wav_match.pl" "$E2E_WORK/opening.wav" "$E2E_WORK/later.wav" 10 90 50 >"$E2E_WORK/loop.txt"
loop=$(awk -v o="$(field offset <"$E2E_WORK/loop.txt")" 'BEGIN { printf "%.2f", o + 30 }')
echo "the song's opening returns after $loop s (correlation $(field correlation <"$E2E_WORK/loop.txt"), next best $(field runner_up <"$E2E_WORK/loop.txt"))"
