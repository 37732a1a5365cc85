#!/usr/bin/perl
# version_info.pl VERSION_RESOURCE [STRING_BLOCK]: reads a Windows version
# resource (VS_VERSIONINFO, as wrestool extracts it) and prints
#   fixed FILE PRODUCT          the numeric versions, as a.b.c.d
#   string NAME VALUE           each string of the StringFileInfo blocks
#   translation LANG CODEPAGE   in hexadecimal
# and, given a string-table block (the block of ids 0 to 15), its string 1 as
#   string1 VALUE
use strict;
use warnings;

my ($version_file, $block_file) = @ARGV;
die "usage: version_info.pl VERSION_RESOURCE [STRING_BLOCK]\n" unless defined $version_file;

sub slurp {
    open(my $in, '<:raw', $_[0]) or die "$_[0]: $!\n";
    local $/;
    return <$in>;
}

sub align { ($_[0] + 3) & ~3 }

# utf16(BUF, OFFSET, CHARS): CHARS UTF-16LE units at OFFSET, up to a NUL.
sub utf16 {
    my ($buf, $off, $chars) = @_;
    my $text = join '', map { chr } unpack('v*', substr($buf, $off, 2 * $chars));
    $text =~ s/\0.*//s;
    return $text;
}

# node(BUF, OFFSET, PATH): one block (length, value length, type, key, value,
# children), printing what it holds; returns its length.
sub node {
    my ($buf, $off, $path) = @_;
    die "truncated resource\n" if $off + 6 > length $buf;
    my ($length, $value_length, $type) = unpack('v3', substr($buf, $off, 6));
    die "bad block length $length at $off\n" if $length < 6 || $off + $length > length $buf;
    my $p = $off + 6;
    my $key = '';
    while ($p + 2 <= $off + $length) {
        my $c = unpack('v', substr($buf, $p, 2));
        $p += 2;
        last unless $c;
        $key .= chr $c;
    }
    $p = align($p);
    my $value_bytes = $type == 1 ? 2 * $value_length : $value_length;
    if ($key eq 'VS_VERSION_INFO' && $value_length >= 52) {
        my ($signature, undef, $fms, $fls, $pms, $pls) = unpack('V6', substr($buf, $p, 24));
        die "no fixed file information\n" unless $signature == 0xFEEF04BD;
        printf "fixed %d.%d.%d.%d %d.%d.%d.%d\n", $fms >> 16, $fms & 0xFFFF, $fls >> 16,
            $fls & 0xFFFF, $pms >> 16, $pms & 0xFFFF, $pls >> 16, $pls & 0xFFFF;
    } elsif ($path =~ m{^VS_VERSION_INFO/StringFileInfo/[^/]+$}) {
        printf "string %s %s\n", $key, $value_length ? utf16($buf, $p, $value_length) : '';
    } elsif ($key eq 'Translation') {
        my @pairs = unpack('v*', substr($buf, $p, $value_length));
        printf "translation %04x %04x\n", @pairs[0, 1];
    }
    $p = align($p + $value_bytes);
    while ($p < $off + $length) {
        $p = align($p + node($buf, $p, $path eq '' ? $key : "$path/$key"));
    }
    return $length;
}

node(slurp($version_file), 0, '');

if (defined $block_file) {
    my $block = slurp($block_file);
    my $p = 0;
    for my $id (0 .. 15) {
        last if $p + 2 > length $block;
        my $chars = unpack('v', substr($block, $p, 2));
        if ($id == 1) {
            printf "string1 %s\n", utf16($block, $p + 2, $chars);
            last;
        }
        $p += 2 + 2 * $chars;
    }
}
