#!/bin/sh
# Prints a program's size and the size of each of its sections (in bytes),
# after every build of the stub and the uninstaller:
#   section-sizes.sh OBJDUMP FILE
objdump=$1
file=$2
sections=$("$objdump" -h "$file" | while read -r index name size rest; do
  case $index in
  [0-9]*) printf ' %s %d' "$name" "0x$size" ;;
  esac
done)
echo "$(basename "$file"): $(stat -c %s "$file") bytes;$sections"
