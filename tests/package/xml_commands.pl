#!/usr/bin/perl
# xml_commands.pl FILE [PATH]: command lines that the XScreenSaver settings
# GUI can make from a hack's settings file, one per line, such that every
# argument the file can give appears in at least one of them:
#   the command alone (every setting at its default, every <file> empty);
#   with a <file>, the command with each <file> set to PATH and the rest at
#   its default; then for k = 1 .. K (K the most options of a <select>, at least 3): the
#   command with the argument of every <boolean>, the k-th option of each
#   <select> (its last when it has fewer), each <number> at its low, high and
#   default value in turn, and each <file> set to PATH.
use strict;
use warnings;
use XML::LibXML;

my ($file, $path) = @ARGV;
die "usage: xml_commands.pl FILE [PATH]\n" unless defined $file;
my $doc = XML::LibXML->load_xml(location => $file);
my ($command) = $doc->findnodes('/screensaver/command');
die "$file: no <command>\n" unless $command;
my $base = $command->getAttribute('arg') // '';

my @booleans;
for my $node ($doc->findnodes('//boolean')) {
    my $arg = $node->getAttribute('arg-set') // $node->getAttribute('arg-unset');
    die "$file: a <boolean> without arg-set or arg-unset\n" unless defined $arg;
    push @booleans, $arg;
}
my @selects = map { [map { $_->getAttribute('arg-set') // '' } $_->findnodes('option')] }
    $doc->findnodes('//select');
my @numbers = map {
    my $node = $_;
    [map { my $v = $node->getAttribute($_); (my $a = $node->getAttribute('arg')) =~ s/%/$v/; $a }
        qw(low high default)]
} $doc->findnodes('//number');

my @files = map {
    die "$file: a <file> needs a PATH to be set to\n" unless defined $path;
    (my $a = $_->getAttribute('arg')) =~ s/%/$path/;
    $a
} $doc->findnodes('//file');

my $runs = 3;
for (@selects) { $runs = @$_ if @$_ > $runs }
print "$base\n";
print join(' ', $base, @files), "\n" if @files;
for my $k (0 .. $runs - 1) {
    my @args = ($base, @booleans);
    push @args, $_->[$k < @$_ ? $k : $#$_] for @selects;
    push @args, $_->[$k % 3] for @numbers;
    push @args, @files;
    print join(' ', grep { $_ ne '' } @args), "\n";
}
