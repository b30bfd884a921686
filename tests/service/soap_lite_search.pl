#!/usr/bin/perl
# An independent SOAP toolkit as a client of the local service:
#   soap_lite_search.pl ENDPOINT KEY QUERY
# Prints the total, the indexes and each result's URL, or the fault, then exits 0 or 1.
use strict;
use warnings;
use SOAP::Lite;

my ($endpoint, $key, $query) = @ARGV;
my $soap = SOAP::Lite->proxy($endpoint)
                     ->uri('urn:GoogleSearch')
                     ->on_action(sub { 'urn:GoogleSearchAction' });
my $answer = $soap->doGoogleSearch(
    SOAP::Data->name(key => $key)->type('string'),
    SOAP::Data->name(q => $query)->type('string'),
    SOAP::Data->name(start => 0)->type('int'),
    SOAP::Data->name(maxResults => 10)->type('int'),
    SOAP::Data->name(filter => 'true')->type('boolean'),
    SOAP::Data->name(restrict => '')->type('string'),
    SOAP::Data->name(safeSearch => 'false')->type('boolean'),
    SOAP::Data->name(lr => '')->type('string'),
    SOAP::Data->name(ie => 'latin1')->type('string'),
    SOAP::Data->name(oe => 'latin1')->type('string'));
if ($answer->fault) {
    print 'fault ', $answer->faultcode, ' ', $answer->faultstring, "\n";
    exit 1;
}
my $result = $answer->result;
print "total $result->{estimatedTotalResultsCount}\n";
print "indexes $result->{startIndex} $result->{endIndex}\n";
print "url $_->{URL}\n" for @{ $result->{resultElements} };
exit 0;
