Plinkora Song
150 ms
2 Pattern
10 0 12 12 
5 5 7 9 
3 Songlines
1 2 2 
Transponition
2 -3 
5 Patch
3 Device
10 Channel
49 Range
3
-
8
0 0 1 3 
0 2 0 0 
1 1 2 2 
1 1 1 1 
lead
bass line
7
