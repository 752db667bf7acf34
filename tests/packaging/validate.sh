#!/bin/sh
# desktop-file-validate and appstreamcli validate on the shipped desktop entry and metadata.
# Both print nothing but hints when the files are right; any error or warning fails.
set -eu
data=$1
rc=0
for f in "$data"/*.desktop; do
  out=$(desktop-file-validate "$f" 2>&1) || rc=1
  echo "$out" | grep -E ': (error|warning):' && rc=1
  echo "desktop-file-validate $f: ${out:-ok}"
done
for f in "$data"/*.metainfo.xml; do
  appstreamcli validate --no-net --explain "$f" || rc=1
done
exit $rc
