<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>GridWindow</name>
    <message>
        <source>ffsload: station grid</source>
        <translation>ffsload：工站多端口</translation>
    </message>
    <message>
        <source>&amp;Customer:</source>
        <translation>客户(&amp;C)：</translation>
    </message>
    <message>
        <source>Sub-number:</source>
        <translation>子编号：</translation>
    </message>
    <message>
        <source>Run &amp;all</source>
        <translation>全部运行(&amp;A)</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>&amp;Operator:</source>
        <translation>操作员(&amp;O)：</translation>
    </message>
    <message>
        <source>scan your badge or type your id, Enter</source>
        <translation>扫描工牌或输入工号，按 Enter</translation>
    </message>
    <message>
        <source>&lt;b&gt;Port %1&lt;/b&gt;&lt;br&gt;%2</source>
        <translation>&lt;b&gt;端口 %1&lt;/b&gt;&lt;br&gt;%2</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>运行</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Y or N, or click:</source>
        <translation>按 Y 或 N，或点击：</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是 (Y)</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否 (N)</translation>
    </message>
    <message>
        <source>scan the unit, or type its serial and Enter</source>
        <translation>扫描产品，或输入序列号并按 Enter</translation>
    </message>
    <message>
        <source>type the customer number and press Enter</source>
        <translation>输入客户编号并按 Enter</translation>
    </message>
    <message>
        <source>script %1, MA_NO &quot;%2&quot;</source>
        <translation>脚本 %1，MA_NO &quot;%2&quot;</translation>
    </message>
    <message>
        <source>waiting for your answer</source>
        <translation>等待您的回答</translation>
    </message>
    <message>
        <source>running</source>
        <translation>运行中</translation>
    </message>
    <message>
        <source>elapsed %1 s</source>
        <translation>用时 %1 秒</translation>
    </message>
    <message>
        <source>runs %1   green %2   red %3</source>
        <translation>运行 %1   绿 %2   红 %3</translation>
    </message>
    <message>
        <source>Operator: %1</source>
        <translation>操作员：%1</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>错误：%1</translation>
    </message>
    <message>
        <source>log saved to %1</source>
        <translation>日志已保存到 %1</translation>
    </message>
    <message>
        <source>Error: cannot write the run log file %1: %2</source>
        <translation>错误：无法写入运行日志文件 %1：%2</translation>
    </message>
    <message>
        <source>Closing: the runs under way stop after their current command (close again to end them at once)</source>
        <translation>正在关闭：进行中的运行将在当前命令后停止（再次关闭可立即结束）</translation>
    </message>
    <message>
        <source>Closing: the ports&apos; processes are ending</source>
        <translation>正在关闭：各端口的进程正在结束</translation>
    </message>
</context>
<context>
    <name>OperatorText</name>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Pending IMEI</source>
        <translation>待恢复的 IMEI</translation>
    </message>
    <message>
        <source>Fail to open file &lt;custdefine&gt;</source>
        <translation>无法打开文件 &lt;custdefine&gt;</translation>
    </message>
    <message>
        <source>Fail to open file</source>
        <translation>无法打开文件</translation>
    </message>
    <message>
        <source>Fail to open file &lt;*.tms&gt;</source>
        <translation>无法打开文件 &lt;*.tms&gt;</translation>
    </message>
    <message>
        <source>Fail to write file &lt;%1&gt;: %2</source>
        <translation>无法写入文件 &lt;%1&gt;：%2</translation>
    </message>
    <message>
        <source>Fail to find the customer</source>
        <translation>找不到该客户</translation>
    </message>
    <message>
        <source>Fail to show the yield: %1</source>
        <translation>无法显示良率：%1</translation>
    </message>
    <message>
        <source>The station&apos;s settings stop the panels: %1</source>
        <translation>工站设置有误，面板无法启动：%1</translation>
    </message>
    <message>
        <source>This station requires the operator&apos;s id: scan your badge or type your id</source>
        <translation>本工站需要工号：请扫描工牌或输入工号</translation>
    </message>
    <message>
        <source>This station asks for unit serials (unit-serial in %1) but the panel file has no unit field (control %2)</source>
        <translation>本工站要求产品序列号（%1 中的 unit-serial），但面板文件没有序列号栏（控件 %2）</translation>
    </message>
    <message>
        <source>Scan the unit first: this station requires its serial</source>
        <translation>请先扫描产品：本工站需要序列号</translation>
    </message>
    <message>
        <source>Refused: %1; nothing runs. Scan again.</source>
        <translation>已拒绝：%1；未运行。请重新扫描。</translation>
    </message>
    <message>
        <source>unit %1</source>
        <translation>产品 %1</translation>
    </message>
    <message>
        <source>unit %1: attempt %2</source>
        <translation>产品 %1：第 %2 次</translation>
    </message>
    <message>
        <source>unit %1: attempt %2, passed before at %3 %4 UTC</source>
        <translation>产品 %1：第 %2 次，已于 %3 %4 UTC 通过</translation>
    </message>
    <message>
        <source>unit %1: attempt unknown (the records cannot be read)</source>
        <translation>产品 %1：次数未知（无法读取记录）</translation>
    </message>
    <message>
        <source>Port %1 is not a port from %2 to %3: the run cannot reach a handset</source>
        <translation>端口 %1 不在 %2 到 %3 之间：无法连接手机</translation>
    </message>
    <message>
        <source>Port %1: %2</source>
        <translation>端口 %1：%2</translation>
    </message>
    <message>
        <source>Port %1 cannot be opened: %2</source>
        <translation>端口 %1 无法打开：%2</translation>
    </message>
    <message>
        <source>cannot open port %1: %2</source>
        <translation>无法打开端口 %1：%2</translation>
    </message>
    <message>
        <source>port %1 is in use by another run in this station folder (%2): no run; wait for it to end</source>
        <translation>端口 %1 正被本工站目录中的另一次运行占用（%2）：未运行；请等它结束</translation>
    </message>
    <message>
        <source>Run log saved to %1</source>
        <translation>运行日志已保存到 %1</translation>
    </message>
    <message>
        <source>Run log NOT saved</source>
        <translation>运行日志未保存</translation>
    </message>
    <message>
        <source>check the fixture on port %1: %2 red runs in a row</source>
        <translation>请检查端口 %1 的治具：连续 %2 次红色（失败）</translation>
    </message>
    <message>
        <source>failing line %1</source>
        <translation>失败行 %1</translation>
    </message>
    <message>
        <source>the handset was formatted after its IMEI backup and the IMEI was not written back: it is only in the PC file %1; write it back before the handset leaves the station</source>
        <translation>手机在备份 IMEI 后被格式化，IMEI 未写回：它只保存在电脑文件 %1 中；手机离开工站前必须写回</translation>
    </message>
    <message>
        <source>IMEI %1, pending since the run on port %2 stopped after the format, is on this handset: it had been written back</source>
        <translation>IMEI %1（端口 %2 的运行在格式化后中断而待恢复）已在这台手机上：它当时已写回</translation>
    </message>
    <message>
        <source>this handset has its own IMEI; IMEI %1 of the run on port %2 that stopped after the format stays pending and waits for its handset</source>
        <translation>这台手机有自己的 IMEI；端口 %2 上格式化后中断的运行所留的 IMEI %1 仍待恢复，等待它的手机</translation>
    </message>
    <message>
        <source>IMEI %1 was pending for unit %2, which is this handset: it is this run&apos;s backup in %3, and the script&apos;s write-back gives it back</source>
        <translation>IMEI %1 待恢复于产品 %2，即这台手机：它现在是本次运行在 %3 中的备份，脚本的回写会把它写回</translation>
    </message>
    <message>
        <source>IMEI %1 is kept aside: it is not this handset&apos;s; &quot;ffsload report --interrupted&quot; lists it</source>
        <translation>IMEI %1 已另行保存：它不属于这台手机；&quot;ffsload report --interrupted&quot; 会列出它</translation>
    </message>
    <message>
        <source>IMEI %1 is this run&apos;s backup in %2: the script&apos;s write-back gives it back</source>
        <translation>IMEI %1 是本次运行在 %2 中的备份：脚本的回写会把它写回</translation>
    </message>
    <message>
        <source>IMEI %1 is pending on port %2: the run stopped after the format, before the write-back; it is kept in the run journal until its handset has it again</source>
        <translation>IMEI %1 在端口 %2 上待恢复：运行在格式化后、回写前中断；在它的手机重新拿到之前，它保存在运行流水中</translation>
    </message>
    <message>
        <source>the run journal cannot be written (%1): this run refuses to format the handset, so that its IMEI cannot be lost</source>
        <translation>无法写入运行流水（%1）：本次运行拒绝格式化手机，以免丢失 IMEI</translation>
    </message>
    <message>
        <source>%1: a pending IMEI may be hidden in it, so no IMEI read-back or format runs on this port until a line engineer has looked (&quot;ffsload pending&quot; lists it, &quot;ffsload pending --port %2 --resolve-damaged&quot; sets damaged lines aside)</source>
        <translation>%1：其中可能有待恢复的 IMEI，因此在产线工程师检查之前，此端口不读取 IMEI、不格式化（&quot;ffsload pending&quot; 列出，&quot;ffsload pending --port %2 --resolve-damaged&quot; 将损坏行另放）</translation>
    </message>
    <message>
        <source>the run journal could not be tidied: %1</source>
        <translation>无法整理运行流水：%1</translation>
    </message>
    <message>
        <source>the run journal cannot note the run&apos;s end: %1</source>
        <translation>运行流水无法记下运行结束：%1</translation>
    </message>
    <message>
        <source>the run journal cannot note the IMEI write-back: %1</source>
        <translation>运行流水无法记下 IMEI 回写：%1</translation>
    </message>
    <message>
        <source>the run journal cannot note what became of a pending IMEI: %1</source>
        <translation>运行流水无法记下待恢复 IMEI 的去向：%1</translation>
    </message>
    <message>
        <source>records: %1</source>
        <translation>记录：%1</translation>
    </message>
    <message>
        <source>records: %1 record(s) kept in %2 are now stored with the others</source>
        <translation>记录：暂存在 %2 的 %1 条记录已存入记录库</translation>
    </message>
    <message>
        <source>records: %1; this run&apos;s record is kept in %2 and sent when the records can be written again</source>
        <translation>记录：%1；本次运行的记录暂存在 %2，记录库可写时再发送</translation>
    </message>
    <message>
        <source>records: %1 record(s) refused by the records for what they hold are set aside in %2 (ffsload report counts them): %3</source>
        <translation>记录：%1 条因内容被记录库拒收的记录另放在 %2（ffsload report 会统计）：%3</translation>
    </message>
    <message>
        <source>records: neither the records nor the outbox can take this run&apos;s record: %1; %2</source>
        <translation>记录：记录库和发件箱都无法接收本次运行的记录：%1；%2</translation>
    </message>
    <message>
        <source>records: the run journal keeps this run&apos;s outcome, unit and IMEI, and the next run on port %1 records it (without its log)</source>
        <translation>记录：运行流水保存了本次运行的结果、产品和 IMEI，端口 %1 的下一次运行会把它记入（不含日志）</translation>
    </message>
    <message>
        <source>records: this run&apos;s record is lost: the run journal cannot keep it either; free space on the disk</source>
        <translation>记录：本次运行的记录丢失：运行流水也无法保存；请清理磁盘空间</translation>
    </message>
    <message>
        <source>cannot start the port&apos;s process: %1</source>
        <translation>无法启动该端口的进程：%1</translation>
    </message>
    <message>
        <source>no run: %1</source>
        <translation>未运行：%1</translation>
    </message>
    <message>
        <source>the port&apos;s process %1; Run starts a new one</source>
        <translation>该端口的进程 %1；按“运行”启动新进程</translation>
    </message>
    <message>
        <source>the customer stays until the runs under way have ended</source>
        <translation>进行中的运行结束前不能更换客户</translation>
    </message>
    <message>
        <source>the operator stays until the runs under way have ended</source>
        <translation>进行中的运行结束前不能更换操作员</translation>
    </message>
    <message>
        <source>this station requires the operator&apos;s id: enter it above first</source>
        <translation>本工站需要工号：请先在上方输入</translation>
    </message>
    <message>
        <source>refused: %1; nothing runs</source>
        <translation>已拒绝：%1；未运行</translation>
    </message>
    <message>
        <source>scan the unit first: this station requires its serial</source>
        <translation>请先扫描产品：本工站需要序列号</translation>
    </message>
    <message>
        <source>First-pass and final yield since %1 (%2)</source>
        <translation>自 %1 起的直通率和最终良率（%2）</translation>
    </message>
    <message>
        <source>First-pass and final yield (%1)</source>
        <translation>直通率和最终良率（%1）</translation>
    </message>
    <message>
        <source>customer %1</source>
        <translation>客户 %1</translation>
    </message>
    <message>
        <source>unit %1, customer %2</source>
        <translation>产品 %1，客户 %2</translation>
    </message>
    <message>
        <source>%1 (run at %2)</source>
        <translation>%1（运行于 %2）</translation>
    </message>
    <message>
        <source>%1 (run at %2, unit %3)</source>
        <translation>%1（运行于 %2，产品 %3）</translation>
    </message>
    <message>
        <source>%1 (run at %2, customer %3)</source>
        <translation>%1（运行于 %2，客户 %3）</translation>
    </message>
    <message>
        <source>%1 (run at %2, unit %3, customer %4)</source>
        <translation>%1（运行于 %2，产品 %3，客户 %4）</translation>
    </message>
    <message>
        <source>the MES refused unit %1: %2</source>
        <translation>MES 拒绝了单元 %1：%2</translation>
    </message>
    <message>
        <source>the MES did not agree to unit %1: %2; the run goes on (cfx-validate = advisory)</source>
        <translation>MES 未同意单元 %1：%2；运行继续（cfx-validate = advisory）</translation>
    </message>
    <message>
        <source>the MES did not answer about unit %1: %2; the run goes on (cfx-validate = advisory)</source>
        <translation>MES 未答复单元 %1：%2；运行继续（cfx-validate = advisory）</translation>
    </message>
    <message>
        <source>the station is locked by the MES (%1): no run until it is unlocked</source>
        <translation>工位已被 MES 锁定（%1）：解锁前不能运行</translation>
    </message>
    <message>
        <source>the station is locked by the MES (%1, by %2): no run until it is unlocked</source>
        <translation>工位已被 MES 锁定（%1，由 %2）：解锁前不能运行</translation>
    </message>
    <message>
        <source>CFX: %1 could not be queued for the factory network (%2); the run goes on without them</source>
        <translation>CFX：%1 无法排入工厂网络的队列（%2）；运行继续，不发送这些消息</translation>
    </message>
    <message>
        <source>the run&apos;s start messages</source>
        <translation>本次运行的开始消息</translation>
    </message>
    <message>
        <source>the run&apos;s end messages</source>
        <translation>本次运行的结束消息</translation>
    </message>
    <message>
        <source>the interrupted run&apos;s messages</source>
        <translation>中断运行的消息</translation>
    </message>
    <message>
        <source>CFX: the panels&apos; EndpointConnected could not be queued: %1</source>
        <translation>CFX：面板的 EndpointConnected 无法排入队列：%1</translation>
    </message>
    <message>
        <source>an IMEI is pending in this station and this handset has none, and nobody said whether it is that handset: nothing was formatted. Run again and answer the question (on the command line: --pending-imei restore gives it the pending IMEI back, --pending-imei keep-aside keeps the IMEI aside)</source>
        <translation>本工位有一个待恢复的 IMEI，这台手机没有 IMEI，且无人确认是否为那台手机：未做格式化。请重新运行并回答问题（命令行：--pending-imei restore 写回待恢复的 IMEI，--pending-imei keep-aside 将其另行保存）</translation>
    </message>
    <message>
        <source>%1 IMEIs are pending in this station and this handset has none, and nobody said which of them, if any, is its own: nothing was formatted. Pending: %2. Run again and answer each question (on the command line: --pending-imei restore=HEX gives this handset the IMEI HEX; &quot;ffsload pending&quot; lists them)</source>
        <translation>本工位有 %1 个待恢复的 IMEI，这台手机没有 IMEI，且无人确认哪个属于它：未做格式化。待恢复：%2。请重新运行并回答每个问题（命令行：--pending-imei restore=HEX 将 IMEI HEX 写给这台手机；&quot;ffsload pending&quot; 会列出它们）</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, but the IMEI named, %2, is pending for unit %3: nothing was formatted. Scan the handset&apos;s own serial, or name its own IMEI</source>
        <translation>这台手机扫描为产品 %1，但所指定的 IMEI %2 是产品 %3 的待恢复 IMEI：未做格式化。请扫描这台手机自己的序列号，或指定它自己的 IMEI</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending, but the answer names IMEI %3: nothing was formatted. Scan the handset&apos;s own serial, or name its own IMEI</source>
        <translation>这台手机扫描为产品 %1，其 IMEI %2 待恢复，但回答指定的是 IMEI %3：未做格式化。请扫描这台手机自己的序列号，或指定它自己的 IMEI</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending from port %3, and the answer was that it is not that handset: IMEI %2 stays pending and nothing was formatted. Check the serial</source>
        <translation>这台手机扫描为产品 %1，其 IMEI %2 在端口 %3 上待恢复，而回答是它不是那台手机：IMEI %2 继续待恢复，未做格式化。请核对序列号</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending from port %3, and nobody confirmed that it is that handset: nothing was formatted. Run again and answer the question (on the command line: --pending-imei restore)</source>
        <translation>这台手机扫描为产品 %1，其 IMEI %2 在端口 %3 上待恢复，且无人确认它就是那台手机：未做格式化。请重新运行并回答问题（命令行：--pending-imei restore）</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 stopped after the format, before IMEI %3 was written back. Is this that handset? Yes gives it IMEI %3 back. No keeps IMEI %3 aside for good: no handset gets it unless an engineer restores it.</source>
        <translation>端口 %1 在 %2 的运行在格式化后中断，IMEI %3 尚未写回。这台是那台手机吗？选“是”将 IMEI %3 写回这台手机。选“否”则将 IMEI %3 永久另行保存：除非工程师恢复，任何手机都不会得到它。</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 was written back. Is this that handset? Yes gives it IMEI %4 back. No keeps IMEI %4 aside for good: no handset gets it unless an engineer restores it.</source>
        <translation>端口 %1 在 %2（%3）的运行在格式化后中断，IMEI %4 尚未写回。这台是那台手机吗？选“是”将 IMEI %4 写回这台手机。选“否”则将 IMEI %4 永久另行保存：除非工程师恢复，任何手机都不会得到它。</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 stopped after the format, before IMEI %3 was written back; it is one of %4 IMEIs pending in this station. Is this that handset? Yes gives it IMEI %3 back. No leaves IMEI %3 pending for its own handset.</source>
        <translation>端口 %1 在 %2 的运行在格式化后中断，IMEI %3 尚未写回；它是本工位 %4 个待恢复 IMEI 之一。这台是那台手机吗？选“是”将 IMEI %3 写回这台手机。选“否”则 IMEI %3 继续等待它自己的手机。</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 was written back; it is one of %5 IMEIs pending in this station. Is this that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending for its own handset.</source>
        <translation>端口 %1 在 %2（%3）的运行在格式化后中断，IMEI %4 尚未写回；它是本工位 %5 个待恢复 IMEI 之一。这台是那台手机吗？选“是”将 IMEI %4 写回这台手机。选“否”则 IMEI %4 继续等待它自己的手机。</translation>
    </message>
    <message>
        <source>Unit %1 stopped on port %2 at %3 after the format, before IMEI %4 was written back; this handset, scanned as unit %1, is on port %5. Is it that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending and stops this run before the format.</source>
        <translation>产品 %1 于 %3 在端口 %2 上的运行在格式化后中断，IMEI %4 尚未写回；这台手机扫描为产品 %1，现在在端口 %5 上。它是那台手机吗？选“是”将 IMEI %4 写回这台手机。选“否”则 IMEI %4 继续待恢复，本次运行在格式化前停止。</translation>
    </message>
    <message>
        <source>an earlier run&apos;s end messages, kept in the run journal</source>
        <translation>先前一次运行的结束消息（保存在运行流水中）</translation>
    </message>
    <message>
        <source>CFX: the run journal keeps this run&apos;s end messages, and the next run on port %1 queues them</source>
        <translation>CFX：运行流水保存了本次运行的结束消息，端口 %1 的下一次运行会把它们排入队列</translation>
    </message>
    <message>
        <source>CFX: this run&apos;s end messages are lost: the run journal cannot keep them either; free space on the disk</source>
        <translation>CFX：本次运行的结束消息丢失：运行流水也无法保存；请清理磁盘空间</translation>
    </message>
    <message>
        <source>CFX: the sender %1 is missing; the messages wait in the station&apos;s queue</source>
        <translation>CFX：缺少发送程序 %1；消息在工站的队列中等待</translation>
    </message>
    <message>
        <source>CFX: the sender cannot run (%1); the messages wait in the station&apos;s queue and it is tried again</source>
        <translation>CFX：发送程序无法运行（%1）；消息在工站的队列中等待，并会重试</translation>
    </message>
    <message>
        <source>CFX: the sender stopped (%1) and is started again; the messages wait in the station&apos;s queue</source>
        <translation>CFX：发送程序已停止（%1），正在重新启动；消息在工站的队列中等待</translation>
    </message>
</context>
<context>
    <name>PanelFile</name>
    <message>
        <source>ffsload panels</source>
        <translation>ffsload 面板</translation>
    </message>
    <message>
        <source>ffsload: customer and port</source>
        <translation>ffsload：客户和端口</translation>
    </message>
    <message>
        <source>&amp;Customer number</source>
        <translation>客户编号(&amp;C)</translation>
    </message>
    <message>
        <source>S&amp;ub-number</source>
        <translation>子编号(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Port (1 to 8)</source>
        <translation>端口(&amp;P)（1 到 8）</translation>
    </message>
    <message>
        <source>&amp;Open the run panel</source>
        <translation>打开运行面板(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Operator id</source>
        <translation>工号(&amp;O)</translation>
    </message>
    <message>
        <source>scan your badge, or type your id and Enter</source>
        <translation>扫描工牌，或输入工号并按 Enter</translation>
    </message>
    <message>
        <source>Enter confirms a field and moves to the next; Enter on the port opens the run panel.</source>
        <translation>Enter 确认当前栏并跳到下一栏；在端口栏按 Enter 打开运行面板。</translation>
    </message>
    <message>
        <source>ffsload: run</source>
        <translation>ffsload：运行</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Script:</source>
        <translation>脚本：</translation>
    </message>
    <message>
        <source>MA_NO:</source>
        <translation>MA_NO：</translation>
    </message>
    <message>
        <source>Operator:</source>
        <translation>操作员：</translation>
    </message>
    <message>
        <source>&amp;Unit serial:</source>
        <translation>产品序列号(&amp;U)：</translation>
    </message>
    <message>
        <source>scan the unit, or type its serial and Enter</source>
        <translation>扫描产品，或输入序列号并按 Enter</translation>
    </message>
    <message>
        <source>Line:</source>
        <translation>行：</translation>
    </message>
    <message>
        <source>Seconds:</source>
        <translation>秒：</translation>
    </message>
    <message>
        <source>&amp;Run</source>
        <translation>运行(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Yield</source>
        <translation>良率(&amp;Y)</translation>
    </message>
    <message>
        <source>First-pass yield of this station&apos;s runs, the last 14 days</source>
        <translation>本工站最近 14 天的直通率</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>The last run&apos;s result: RUNNING, PASS or FAIL</source>
        <translation>上次运行的结果：运行中、通过或失败</translation>
    </message>
</context>
<context>
    <name>ReportWindow</name>
    <message>
        <source>Day</source>
        <translation>日期</translation>
    </message>
    <message>
        <source>Customer</source>
        <translation>客户</translation>
    </message>
    <message>
        <source>Runs</source>
        <translation>运行次数</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>产品数</translation>
    </message>
    <message>
        <source>First-pass yield</source>
        <translation>直通率</translation>
    </message>
    <message>
        <source>Final yield</source>
        <translation>最终良率</translation>
    </message>
    <message>
        <source>Most frequent failing line</source>
        <translation>最常失败的行</translation>
    </message>
    <message>
        <source>line %1: %2 (%3 times)</source>
        <translation>第 %1 行：%2（%3 次）</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>First-pass and final yield per day</source>
        <translation>每日直通率和最终良率</translation>
    </message>
    <message>
        <source>no runs</source>
        <translation>无运行</translation>
    </message>
    <message>
        <source>final yield</source>
        <translation>最终良率</translation>
    </message>
    <message>
        <source>customer</source>
        <translation>客户</translation>
    </message>
</context>
<context>
    <name>RunState</name>
    <message>
        <source>RUNNING</source>
        <translation>运行中</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>通过</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>失败</translation>
    </message>
</context>
<context>
    <name>ffsload::MessageBox</name>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>ffsload::YesNoBox</name>
    <message>
        <source>Click Yes or No, or press Y or N. Enter alone does nothing.</source>
        <translation>请点击“是”或“否”，或按 Y 或 N。只按 Enter 无效。</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>是(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>否(&amp;N)</translation>
    </message>
</context>
</TS>
