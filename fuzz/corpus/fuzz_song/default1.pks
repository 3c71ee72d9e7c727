Plinkora Song
200 ms
4 Pattern
1 0 7 0 3 0 7 7 1 0 1 0 3 0 7 7 
1 0 7 0 3 0 7 0 1 1 7 0 3 0 7 11 
14 0 7 0 3 0 7 7 1 0 1 0 3 0 7 7 
1 0 7 0 3 0 7 1 3 3 15 13 12 10 8 6 
8 Songlines
3 1 1 2 1 1 2 4 
Transponition
0 0 0 0 
0 Patch
-1 Device
10 Channel
25 Range
4
-
4
0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 
0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 
0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 
0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 
1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 
1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 
1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 
1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 
Groove
Groove Open Hat
Crash In
Tom Fill
0
