#!/usr/bin/perl
# Adds type flags that widl will not write (it refuses "nonextensible" on a
# dispinterface) to type infos of a finished MSFT type library.
# Usage: tlb-typeflags.pl IN.tlb OUT.tlb GUID=HEXFLAGS...
# Each GUID names a type info; HEXFLAGS is OR-ed into its TYPEFLAGS.
use strict;
use warnings;

my ($in, $out, @edits) = @ARGV;
die "usage: $0 IN.tlb OUT.tlb [GUID=HEXFLAGS...]\n" unless defined $out;

open(my $fh, '<:raw', $in) or die "$in: $!\n";
my $tlb = do { local $/; <$fh> };
close $fh;

# The MSFT header: 21 32-bit fields, then one more when a help DLL is named,
# then one offset per type info, then the directory of 15 segments.
my @header = unpack('l<21', $tlb);
die "$in: not an MSFT type library\n" unless $header[0] == 0x5446534d;
my ($varflags, $typeinfoCount) = ($header[5], $header[8]);
my $pos = 84 + (($varflags & 0x100) ? 4 : 0);
my @typeinfoOffsets = unpack("x$pos l<$typeinfoCount", $tlb);
$pos += 4 * $typeinfoCount;
my @segments = map { [unpack('x' . ($pos + 16 * $_) . ' l<4', $tlb)] } 0 .. 14;
my ($typeinfoSegment, $guidSegment) = ($segments[0][0], $segments[5][0]);

sub guidText {
    my ($bytes) = @_;
    my ($d1, $d2, $d3) = unpack('V v v', $bytes);
    my @rest = unpack('x8 C8', $bytes);
    return lc sprintf('%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x', $d1, $d2, $d3, @rest);
}

my %wanted = map { my ($g, $f) = split /=/; (lc($g) => hex($f)) } @edits;
my %done;
for my $offset (@typeinfoOffsets) {
    # A type info record: its GUID's position is field 11, its flags field 12.
    my $record = $typeinfoSegment + $offset;
    my ($guidPos, $flags) = unpack("x" . ($record + 44) . " l< l<", $tlb);
    my $guid = guidText(substr($tlb, $guidSegment + $guidPos, 16));
    next unless exists $wanted{$guid};
    substr($tlb, $record + 48, 4) = pack('l<', $flags | $wanted{$guid});
    $done{$guid} = 1;
}
for my $guid (keys %wanted) {
    die "$in: no type info $guid\n" unless $done{$guid};
}

open(my $oh, '>:raw', $out) or die "$out: $!\n";
print $oh $tlb;
close $oh or die "$out: $!\n";
