# Write a packaging file (the changelog, the AppStream metainfo) from its template with
# the version and date of the build: @VERSION@, @CHANGELOG_DATE@ (RFC 2822) and
# @RELEASE_DATE@ (YYYY-MM-DD).
# Inputs: INFO (from cmake/version.cmake), TEMPLATE, OUTPUT.
include("${INFO}")
set(VERSION "${TESTNUV_VERSION}")
set(CHANGELOG_DATE "${TESTNUV_COMMIT_DATE}")
set(ENV{SOURCE_DATE_EPOCH} "${TESTNUV_SOURCE_DATE_EPOCH}")
string(TIMESTAMP RELEASE_DATE "%Y-%m-%d" UTC)
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
