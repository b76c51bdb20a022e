# Writes SHA256SUMS for the release files, in the format that "sha256sum -c" checks.
#   cmake -DFOLDER=<release folder> -DFILES=<name>,<name>... -P Checksums.cmake
string(REPLACE "," ";" FILES "${FILES}")
set(sums "")
foreach(name IN LISTS FILES)
    file(SHA256 ${FOLDER}/${name} hash)
    string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${FOLDER}/SHA256SUMS.tmp "${sums}")
file(RENAME ${FOLDER}/SHA256SUMS.tmp ${FOLDER}/SHA256SUMS)
