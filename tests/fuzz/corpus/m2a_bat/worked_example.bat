m2apx3g.exe -b "/dvd/vob.lst" -1 016 008 -3X 640 -3Y 352 -o6
