#!/usr/bin/perl
# wav_match.pl REFERENCE CAPTURE [SECONDS [MAX_OFFSET [WINDOW_MS]]]
#
# Does CAPTURE hold the music of REFERENCE? Both are 16-bit stereo 44,100 Hz
# files (any format sox reads). The loudness envelopes (RMS of each
# WINDOW_MS window, 50 by default) of SECONDS (10) of REFERENCE, from its
# second second on, are correlated with those of CAPTURE at every start
# offset from 0 to MAX_OFFSET seconds (8); the best offset wins. (Skipping
# the reference's first second lets the capture begin up to a second late.)
# Prints one "name value" line per figure:
#   offset      where the reference's start lies in the capture, in seconds
#               (negative when the capture began after it)
#   correlation Pearson correlation of the envelopes at that offset
#   runner_up   the best correlation more than half a second from it
#   pieces      the stretch cut in pieces of two seconds, each matched at its
#               own offset within a quarter second of the previous piece's
#               (the audio path may drop or insert a little under load): the
#               correlation of each piece
#   piece_min   the lowest of them
#   piece_median their median
#   drift       the last piece's offset minus the first's, in seconds
#   capture_db  RMS level of the matched capture stretch, dBFS
#   reference_db the same for the reference
#   capture_peak highest absolute sample of the capture stretch
use strict;
use warnings;

my ($reference, $capture, $seconds, $max_offset, $window_ms) = @ARGV;
die "usage: wav_match.pl REFERENCE CAPTURE [SECONDS [MAX_OFFSET [WINDOW_MS]]]\n"
    unless defined $capture;
$seconds //= 10;
$max_offset //= 8;
$window_ms //= 50;
my $rate = 44100;
# Offsets are searched in steps of 10 ms; a window is a whole number of steps.
my $step_ms = 10;
my $step = $rate * $step_ms / 1000;
my $per_window = int($window_ms / $step_ms) || 1;
$window_ms = $per_window * $step_ms;

# Interleaved samples of a file, through sox, as a list of integers.
sub samples {
    my ($path) = @_;
    open(my $in, '-|', 'sox', $path, '-t', 'raw', '-e', 'signed', '-b', '16', '-L', '-c', '2',
        '-r', $rate, '-') or die "sox: $!\n";
    binmode $in;
    local $/;
    my $bytes = <$in>;
    close $in or die "sox could not read $path\n";
    return [unpack('s<*', $bytes // '')];
}

# Energy (sum of squares, both channels) of each step of $step frames.
sub energies {
    my ($s) = @_;
    my @e;
    my $per = 2 * $step;
    for (my $i = 0; $i + $per <= @$s; $i += $per) {
        my $sum = 0;
        $sum += $_ * $_ for @$s[$i .. $i + $per - 1];
        push @e, $sum;
    }
    return \@e;
}

# RMS envelope of n windows starting at step from: each window is $per_window steps.
sub envelope {
    my ($e, $from, $n) = @_;
    my @env;
    for my $j (0 .. $n - 1) {
        my $sum = 0;
        $sum += $e->[$from + $j * $per_window + $_] for 0 .. $per_window - 1;
        push @env, sqrt($sum / (2 * $step * $per_window));
    }
    return \@env;
}

sub correlation {
    my ($a, $b, $from, $n) = @_;
    my ($sa, $sb, $saa, $sbb, $sab) = (0, 0, 0, 0, 0);
    for my $i (0 .. $n - 1) {
        my ($x, $y) = ($a->[$i], $b->[$from + $i]);
        $sa += $x;
        $sb += $y;
        $saa += $x * $x;
        $sbb += $y * $y;
        $sab += $x * $y;
    }
    my $va = $saa - $sa * $sa / $n;
    my $vb = $sbb - $sb * $sb / $n;
    return 0 if $va <= 0 || $vb <= 0;
    return ($sab - $sa * $sb / $n) / sqrt($va * $vb);
}

sub level_db {
    my ($s, $from, $count) = @_;
    my $sum = 0;
    $sum += $_ * $_ for @$s[$from .. $from + $count - 1];
    my $rms = sqrt($sum / $count);
    return $rms > 0 ? 20 * log($rms / 32768) / log(10) : -999;
}

my $ref = samples($reference);
my $cap = samples($capture);
my $n = int($seconds * 1000 / $window_ms);
my $skip = int(1000 / $step_ms); # steps of the reference skipped
my $ref_e = energies($ref);
my $cap_e = energies($cap);
die "reference shorter than $seconds s after its first second\n"
    if @$ref_e < $skip + $n * $per_window;
my $ref_env = envelope($ref_e, $skip, $n);
my $lags = int($max_offset * 1000 / $step_ms);
my $room = @$cap_e - $n * $per_window;
die "capture shorter than $seconds s\n" if $room < 0;
$lags = $room if $lags > $room;

my @score = map { correlation($ref_env, envelope($cap_e, $_, $n), 0, $n) } 0 .. $lags;
my $best = 0;
for my $lag (0 .. $lags) { $best = $lag if $score[$lag] > $score[$best]; }
my $guard = int(500 / $step_ms);
my $runner = -1;
for my $lag (0 .. $lags) {
    next if abs($lag - $best) <= $guard;
    $runner = $score[$lag] if $score[$lag] > $runner;
}

# Piece by piece, following a drifting offset.
my $piece = int(2000 / $window_ms);
my $reach = int(250 / $step_ms);
my ($offset, @pieces, @offsets) = ($best);
for (my $p = 0; $p + $piece <= $n; $p += $piece) {
    my @ref_piece = @$ref_env[$p .. $p + $piece - 1];
    my ($at, $score) = ($offset, -2);
    for my $lag ($offset - $reach .. $offset + $reach) {
        next if $lag < 0 || $lag + ($p + $piece) * $per_window > @$cap_e;
        my $c = correlation(\@ref_piece, envelope($cap_e, $lag + $p * $per_window, $piece), 0, $piece);
        ($at, $score) = ($lag, $c) if $c > $score;
    }
    push @pieces, $score;
    push @offsets, $at;
    $offset = $at;
}
my @sorted = sort { $a <=> $b } @pieces;
my $piece_min = $sorted[0];
my $piece_median = @sorted % 2 ? $sorted[$#sorted / 2] : ($sorted[@sorted / 2 - 1] + $sorted[@sorted / 2]) / 2;

my $from = 2 * $step * $best;
my $count = 2 * $step * $per_window * $n;
my $peak = 0;
for (@$cap[$from .. $from + $count - 1]) { my $v = abs($_); $peak = $v if $v > $peak; }
printf "offset %.3f\n", ($best - $skip) * $step_ms / 1000;
printf "correlation %.4f\n", $score[$best];
printf "runner_up %.4f\n", $runner;
printf "pieces %s\n", join(' ', map { sprintf '%.4f', $_ } @pieces);
printf "piece_min %.4f\n", $piece_min;
printf "piece_median %.4f\n", $piece_median;
printf "drift %.3f\n", ($offsets[-1] - $offsets[0]) * $step_ms / 1000;
printf "capture_db %.2f\n", level_db($cap, $from, $count);
printf "reference_db %.2f\n", level_db($ref, 2 * $step * $skip, $count);
printf "capture_peak %d\n", $peak;
